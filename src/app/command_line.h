#pragma once

#include <string>

namespace kolvane {

// The argument text of a Windows command line: the program's name (quoted
// or not) and the blanks and tabs after it are skipped, the rest is kept
// exactly as it stands.
std::wstring ArgumentText(const std::wstring& commandLine);

// A path wrapped in one pair of double quotes, as Explorer passes a dropped
// file, stands for the path inside them; any other text is returned as is.
std::wstring UnquotedPath(const std::wstring& argument);

}  // namespace kolvane
