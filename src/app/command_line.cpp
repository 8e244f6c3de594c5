#include "app/command_line.h"

namespace kolvane {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::wstring ArgumentText(const std::wstring& commandLine) {
  const std::size_t n = commandLine.size();
  std::size_t i = 0;
  // The program name runs to the closing quote when it starts with one,
  // otherwise to the first blank or tab.
  if (n > 0 && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    i = close == std::wstring::npos ? n : close + 1;
  } else {
    while (i < n && !IsBlank(commandLine[i])) ++i;
  }
  while (i < n && IsBlank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

std::wstring UnquotedPath(const std::wstring& argument) {
  if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"' &&
      argument.find(L'"', 1) == argument.size() - 1) {
    return argument.substr(1, argument.size() - 2);
  }
  return argument;
}

}  // namespace kolvane
