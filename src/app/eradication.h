// What the buttons and the command-line switches do to the machine: find
// the threat, arm its removal at the next logon, delete it now, remove its
// start-up values. Each operation says what happened; the window turns that
// into a message box, the switches into an exit code and a log line.
#pragma once

#include <string>

#include "app/threat_profile.h"
#include "platform/platform.h"

namespace kolvane {

// One half of the system. A 32-bit Windows has one; 64-bit Windows shows
// this 32-bit program its own half and keeps a 64-bit half beside it.
struct Half {
  RegRoot root = RegRoot::LocalMachine;
  std::wstring threatFile;    // the threat's file as this program reaches it
  std::wstring shownFile;     // the same file as a user finds it
  const wchar_t* mark = L"";  // added to a name in the 64-bit half
};

enum class ArmResult { Armed, SelfPathUnknown, CopyFailed, Refused };

class Eradication {
 public:
  Eradication(Platform p, const ThreatProfile& threat, const std::wstring& systemDir, const std::wstring& windowsDir);

  // This program's half is the first; a 64-bit Windows has a second.
  std::size_t HalfCount() const { return count_; }
  const Half& HalfAt(std::size_t i) const { return halves_[i]; }
  // The halves whose system directory holds a file with the threat's
  // signature, one bit each (bit i for HalfAt(i)). Reading the size needs
  // no read access to the file.
  unsigned FindThreat();
  // The threat's files as a user finds them, each after the separator.
  void AppendShownFiles(unsigned halves, const wchar_t* separator, std::wstring& text) const;
  // Makes the next logon start the purge of threatFile from a copy of this
  // program that only administrators can change, instead of the threat:
  // the threat's Run value names the copy, its RunServices value is
  // emptied, the 64-bit half's values go, and a record that Windows should
  // skip the value goes too. When it fails, no value of ours and no copy
  // is left.
  ArmResult Arm(const std::wstring& threatFile);
  // Deletes a file if it carries the threat's signature; anything else is
  // left exactly as it is. True when it is gone.
  bool DeleteThreat(const std::wstring& path, bool* isThreat = nullptr);
  // Deletes the Run value of every half and says whether that worked (a
  // value that is not there counts as removed); the RunServices values go
  // too, unreported.
  bool RemoveRunValues();
  // Deletes the start-up values of every half; the full name of each value
  // that stays is appended to failed, after the separator. True when all
  // are gone.
  bool RemoveValues(const wchar_t* separator, std::wstring& failed);
  // Where the arming puts this program, and whether this process is that copy.
  std::wstring CopyPath() const;
  bool RunsFromCopy();
  // The copy leaves: now, or at the next restart when it is running.
  void RemoveCopy();
  // The half in which path names the threat's file, if any.
  const Half* HalfOf(const std::wstring& path) const;

 private:
  RegStatus DeleteValue(RegRoot root, const wchar_t* subKey);

  Platform p_;
  const ThreatProfile& threat_;
  std::wstring windowsDir_;
  Half halves_[2];
  std::size_t count_ = 1;
};

}  // namespace kolvane
