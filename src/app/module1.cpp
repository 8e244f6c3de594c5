#include "app/module1.h"

namespace kolvane {

bool WriteRegString(Registry& registry, RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                    const std::wstring& data) {
  const OpenedKey opened = registry.Create(root, subKey);
  if (opened.status != RegStatus::Ok) return false;
  return opened.key->SetString(valueName, data) == RegStatus::Ok;
}

}  // namespace kolvane
