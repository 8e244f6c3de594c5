#include "app/command_line.h"

#include <algorithm>
#include <iterator>

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

bool TakeElevatedMark(std::wstring& argument) {
  const std::size_t length = std::size(ElevatedMark) - 1;
  if (argument.size() < length || !EqualsIgnoringAsciiCase({argument.c_str(), length}, ElevatedMark) ||
      (argument.size() > length && !IsBlank(argument[length]))) {
    return false;
  }
  std::size_t rest = length;
  while (rest < argument.size() && IsBlank(argument[rest])) ++rest;
  argument.erase(0, rest);
  return true;
}

bool ParseSwitch(const std::wstring& argument, SwitchRequest& request) {
  const wchar_t* text = argument.c_str();
  std::size_t end = argument.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  std::size_t split = 0;
  while (split < end && !IsBlank(text[split])) ++split;
  if (split < 2 || (text[0] != L'/' && text[0] != L'-')) return false;
  static constexpr struct {
    std::wstring_view name;
    Switch which;
  } kSwitches[] = {
      {L"scan", Switch::Scan}, {L"basmi", Switch::Basmi}, {L"remove", Switch::Remove}, {L"?", Switch::Help}};
  const std::wstring_view name(text + 1, split - 1);
  const auto* found = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                   [&](const auto& entry) { return EqualsIgnoringAsciiCase(name, entry.name); });
  if (found == std::end(kSwitches)) return false;
  request.which = found->which;
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
