#include "app/command_line.h"

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

SwitchLine ParseSwitch(const std::wstring& argument, SwitchRequest& request) {
  // The arguments with their quotes dropped, each ended by a line feed,
  // which no argument holds.
  std::wstring line;
  bool quoted = false;
  bool open = false;
  for (const wchar_t c : argument) {
    if (!quoted && IsBlank(c)) {
      if (open) line += L'\n';
      open = false;
      continue;
    }
    open = true;
    if (c == L'"') {
      quoted = !quoted;
    } else {
      line += c;
    }
  }
  if (open) line += L'\n';
  if (line.empty() || (line[0] != L'/' && line[0] != L'-')) return SwitchLine::None;
  static constexpr struct {
    std::wstring_view name;
    Switch which;
  } kSwitches[] = {
      {L"scan", Switch::Scan}, {L"basmi", Switch::Basmi}, {L"remove", Switch::Remove}, {L"?", Switch::Help}};
  const std::wstring_view text = line;
  const std::size_t first = text.find(L'\n');
  const std::wstring_view name = text.substr(1, first - 1);
  const auto* found = std::begin(kSwitches);
  while (found != std::end(kSwitches) && !EqualsIgnoringAsciiCase(name, found->name)) ++found;
  if (found == std::end(kSwitches)) return SwitchLine::Malformed;
  request.which = found->which;
  request.logPath.clear();
  request.offlineDir.clear();
  // Then, for the three that do something, " /log:PATH" and
  // " /offline:DIR", each at most once and never empty.
  static constexpr std::wstring_view kLog = L"log:";
  static constexpr std::wstring_view kOffline = L"offline:";
  for (std::size_t at = first + 1; at < text.size();) {
    const std::size_t end = text.find(L'\n', at);
    const std::wstring_view option = text.substr(at, end - at);
    at = end + 1;
    if (request.which == Switch::Help || (option[0] != L'/' && option[0] != L'-')) return SwitchLine::Malformed;
    const auto named = [&](std::wstring_view prefix) {
      return option.size() > prefix.size() + 1 && EqualsIgnoringAsciiCase(option.substr(1, prefix.size()), prefix);
    };
    std::wstring* value = named(kLog) ? &request.logPath : named(kOffline) ? &request.offlineDir : nullptr;
    if (value == nullptr || !value->empty()) return SwitchLine::Malformed;
    *value = option.substr(1 + (value == &request.logPath ? kLog.size() : kOffline.size()));
  }
  return SwitchLine::Valid;
}

}  // namespace kolvane
