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
  std::wstring realFile;      // where it really lies, for the restart's list
  bool nativeView = false;    // realFile names the file as 64-bit programs see it
  const wchar_t* mark = L"";  // added to a name in the 64-bit half
  // The half's Software key below HKEY_LOCAL_MACHINE, and its name in the
  // log: for a Windows that is not running, its SOFTWARE hive as loaded
  // and the hive's file.
  std::wstring software = L"Software";
  std::wstring shownSoftware = L"HKEY_LOCAL_MACHINE\\Software";
  // Of a Windows that is not running: nothing runs there, nothing can be
  // left for its restart.
  bool offline = false;
};

// A Windows that is not running (a disk attached to this one, a rescue
// system's target): its Windows directory, and the key below
// HKEY_LOCAL_MACHINE where its SOFTWARE hive is loaded.
struct OfflineWindows {
  std::wstring windowsDir;
  std::wstring softwareKey;
  bool wow64 = false;  // a 64-bit Windows: SysWOW64 beside System32
};

enum class ArmResult { Armed, SelfPathUnknown, CopyFailed, Refused };

// What became of a threat file the eradication was asked to remove.
enum class FileOutcome {
  NotThreat,         // no file with the threat's signature there: untouched
  Deleted,           // gone now
  DeletedAtRestart,  // in use: the system deletes it at the next restart
  Refused,           // this process lacks the rights to delete or schedule it
  Failed,
};

// The threat's start-up values: a status for each half's Run (0) and
// RunServices (1) value. After a removal Ok means deleted; after a search,
// there.
struct StartupValues {
  RegStatus status[2][2] = {{RegStatus::NotFound, RegStatus::NotFound}, {RegStatus::NotFound, RegStatus::NotFound}};
  // Some value has this status.
  bool Any(RegStatus wanted) const;
  // After a removal: every value is gone (one that was not there counts).
  bool AllGone() const;
  // The purge's registry line: this program's own Run value was really
  // deleted, and the 64-bit half's is gone too.
  bool RunValueDeleted() const;
};

class Eradication;

// Keeps every other run of the program from changing the machine while this
// one does (a start-up script, a deployment tool and a user may all start
// it at once); a run that finds another at work waits for it a while. The
// threat's running processes are ended first: ending them is safe at any
// time, and nothing they hold may keep the removal waiting.
class MachineLock {
 public:
  explicit MachineLock(Eradication& eradication);
  ~MachineLock();
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;
  // True when this run may change the machine: it holds the lock, or it
  // lacks the rights to take it and so to change anything at all.
  bool held() const { return result_ == LockResult::Held || result_ == LockResult::NoRights; }
  // Of the two texts, the one that says why nothing was changed: another
  // run at work all the while, or a lock that could not be taken.
  const char* Refusal(const char* busy, const char* failed) const {
    return result_ == LockResult::Busy ? busy : failed;
  }
  // The halves whose threat was found before its processes were ended, and
  // those whose file could not be looked at (bits as from FindThreat).
  unsigned found() const { return found_; }
  unsigned unexamined() const { return unexamined_; }

  static constexpr unsigned kWaitMilliseconds = 30000;

 private:
  Process& process_;
  unsigned found_ = 0;
  unsigned unexamined_ = 0;
  LockResult result_;
};

class Eradication {
 public:
  Eradication(Platform p, const ThreatProfile& threat, const std::wstring& systemDir, const std::wstring& windowsDir);
  // The threat's places in a Windows that is not running: System32 (and
  // SysWOW64) under its directory, the values in its loaded hive. No copy
  // of this program belongs there.
  Eradication(Platform p, const ThreatProfile& threat, const OfflineWindows& offline);

  const ThreatProfile& threat() const { return threat_; }

  Platform& platform() { return p_; }
  // This program's half is the first; a 64-bit Windows has a second.
  std::size_t HalfCount() const { return count_; }
  const Half& HalfAt(std::size_t i) const { return halves_[i]; }
  // The half in which path names the threat's file, if any: the only
  // places whose file the eradication ever deletes.
  const Half* HalfOf(const std::wstring& path) const;
  // The halves whose system directory holds a file with the threat's
  // signature, one bit each (bit i for HalfAt(i)). Reading the size needs
  // no read access to the file.
  // Files that are there but could not be looked at are not counted: their
  // bits go into unexamined.
  unsigned FindThreat(unsigned* unexamined = nullptr);
  // The threat's files where they really lie, each after the separator:
  // what an administrator finds there with any tool.
  void AppendRealFiles(unsigned halves, const wchar_t* separator, std::wstring& text) const;
  // Ends the threat's running processes in these halves (bits as from
  // FindThreat), so that it can neither hold its file nor write its values
  // back. One that cannot be ended keeps its file in use, which the
  // restart then deletes.
  void EndRunningThreat(unsigned halves);

  // Makes the next logon start the purge of the half's threat file from a
  // copy of this program that only administrators can change, instead of
  // the threat: the threat's Run value names the copy, its RunServices
  // value is emptied, the 64-bit half's values go, and a record that
  // Windows should skip the value goes too. When it fails, no value of ours
  // and no copy is left.
  ArmResult Arm(const Half& half);
  // Deletes the half's threat file if it carries the threat's signature;
  // one that is in use is deleted by the system at the next restart. Any
  // other file is left exactly as it is.
  FileOutcome RemoveThreatFile(const Half& half);
  // Deletes the threat's Run and RunServices values in every half.
  StartupValues RemoveStartupValues();
  // Which of them are there.
  StartupValues FindStartupValues();
  // The full name of each value, each after the separator: with staying,
  // each value a removal left; else each that is Ok (deleted, or there).
  void AppendValues(const StartupValues& values, bool staying, const wchar_t* separator, std::wstring& text) const;

  // Where the arming puts this program, and whether this process is that copy.
  std::wstring CopyPath() const;
  bool RunsFromCopy();
  // The copy leaves: now, or at the next restart when it is running.
  void RemoveCopy();

 private:
  RegStatus DeleteValue(RegRoot root, const std::wstring& subKey);
  // Gives the copy at this path another name, which the next restart
  // deletes; true when both were done.
  bool MoveCopyAside(const std::wstring& copy);

  Platform p_;
  const ThreatProfile& threat_;
  std::wstring windowsDir_;
  Half halves_[2];
  std::size_t count_ = 1;
};

}  // namespace kolvane
