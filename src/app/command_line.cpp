#include "app/command_line.h"

#include "app/threat_profile.h"

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
  return std::wstring(commandLine.c_str() + i, n - i);
}

std::wstring UnquotedPath(const std::wstring& argument) {
  if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"' &&
      argument.find(L'"', 1) == argument.size() - 1) {
    return std::wstring(argument.c_str() + 1, argument.size() - 2);
  }
  return argument;
}

bool ParseSwitch(const std::wstring& argument, SwitchRequest& request) {
  const wchar_t* text = argument.c_str();
  std::size_t end = argument.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  std::size_t split = 0;
  while (split < end && !IsBlank(text[split])) ++split;
  if (split < 2 || (text[0] != L'/' && text[0] != L'-')) return false;
  static constexpr std::wstring_view kNames[] = {L"scan", L"basmi", L"remove", L"?"};
  int which = 0;
  while (which < 4 && !EqualsIgnoringAsciiCase({text + 1, split - 1}, kNames[which])) ++which;
  if (which == 4) return false;
  request.which = static_cast<Switch>(which);
  request.logPath.clear();

  std::size_t i = split;
  while (i < end && IsBlank(text[i])) ++i;
  if (i == end) return true;
  // " /log:PATH", for the three that do something.
  if (request.which == Switch::Help || end - i < 6 || (text[i] != L'/' && text[i] != L'-') ||
      !EqualsIgnoringAsciiCase({text + i + 1, 4}, L"log:")) {
    return false;
  }
  i += 5;
  if (text[i] == L'"') {
    if (end - i < 3 || text[end - 1] != L'"') return false;
    ++i;
    --end;
  }
  request.logPath.assign(text + i, end - i);
  return request.logPath.find(L'"') == std::wstring::npos;
}

}  // namespace kolvane
