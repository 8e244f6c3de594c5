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

// The program started again for administrator rights carries this
// argument first, so it never asks again: a mark that no inherited or
// user-set environment can give or take away. It begins with /, which no
// path to purge does.
inline constexpr wchar_t ElevatedMark[] = L"/elevated";

// Takes the mark, and the blanks after it, off the front of the argument
// text; true when it was there.
bool TakeElevatedMark(std::wstring& argument);

// The switches for scripts: exactly one of them, / or - and any letter
// case, then optionally " /log:PATH" with a PATH and " /offline:DIR" with
// a DIR, in either order, each at most once; /? stands alone. Quotes
// group blanks into an argument and are dropped, as Windows programs
// read their arguments: "/scan" is /scan, /log:"C:\My Logs\k.log" a path.
enum class Switch { Scan, Basmi, Remove, Help };

struct SwitchRequest {
  Switch which = Switch::Help;
  std::wstring logPath;     // empty: no log
  std::wstring offlineDir;  // the Windows directory of a Windows that is not running; empty: this one
};

enum class SwitchLine {
  None,       // the first argument does not begin with / or -: a path to purge
  Valid,      // request describes it
  Malformed,  // begins like a switch and is none: the program changes nothing
};

SwitchLine ParseSwitch(const std::wstring& argument, SwitchRequest& request);

}  // namespace kolvane
