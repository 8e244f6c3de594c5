#pragma once

#include <string>

#include "platform/platform.h"

namespace kolvane {

// Stores data as a string value, creating the key and any missing parents.
// Returns true when the value was stored.
bool WriteRegString(Registry& registry, RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                    const std::wstring& data);

}  // namespace kolvane
