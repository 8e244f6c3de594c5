// An in-memory machine for the unit tests: a registry of keys and values,
// files with sizes, and a record of everything shown or requested.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kolvane::fake {

// The name under which the fake keeps a key of the 64-bit view.
inline std::wstring Key64(const std::wstring& subKey) { return L"[64]" + subKey; }

// Registry keys are stored by their full path below HKEY_LOCAL_MACHINE
// (Key64 for the 64-bit view).
class FakeRegistry : public Registry {
 public:
  struct Key {
    std::map<std::wstring, std::wstring> values;
    bool operator==(const Key&) const = default;
  };

  OpenedKey Open(RegRoot root, const std::wstring& subKey) override;
  OpenedKey Create(RegRoot root, const std::wstring& subKey) override;
  RegStatus QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) override;
  RegStatus ReadString(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                       std::wstring& data) override;
  RegStatus LoadHive(const std::wstring& name, const std::wstring& file) override;
  RegStatus UnloadHive(const std::wstring& name) override;

  bool HasValue(const std::wstring& subKey, const std::wstring& name) const;
  std::wstring Value(const std::wstring& subKey, const std::wstring& name) const;
  void SetValue(const std::wstring& subKey, const std::wstring& name, const std::wstring& data);
  bool HasKey(const std::wstring& subKey) const { return keys.count(subKey) != 0; }

  std::map<std::wstring, Key> keys;
  // Keys that exist but may not be opened for writing (nor read, with
  // unreadable).
  std::set<std::wstring> denied;
  bool unreadable = false;
  // Values that exist but cannot be deleted.
  std::set<std::wstring> undeletable;
  int openKeys = 0;  // keys open right now
  // Hive files, each with its keys by their path below the hive's root
  // (the root itself is ""); a loaded hive's keys are in keys, below its
  // name, and go back to its file when it is unloaded, as on Windows.
  std::map<std::wstring, std::map<std::wstring, Key>> hives;
  std::map<std::wstring, RegStatus> loadFails;  // hive file -> what loading it gives
  bool unloadFails = false;
  std::map<std::wstring, std::wstring> loaded;  // name -> hive file
  std::vector<std::wstring> hiveCalls;          // "load NAME FILE", "unload NAME"

 private:
  class FakeKey;
  OpenedKey Opened(const std::wstring& subKey);
};

class FakeFiles : public Files {
 public:
  FileStatus SizeOf(const std::wstring& path, std::uint64_t& size) override;
  FileStatus DeleteOfSize(const std::wstring& path, std::uint64_t size) override;
  bool Delete(const std::wstring& path) override;
  bool DeleteAtRestart(const std::wstring& path, bool nativeView) override;
  bool Move(const std::wstring& from, const std::wstring& to) override;
  void HoldProgramFile(const std::wstring& path) override;
  FileStatus CopyHeldProgram(const std::wstring& to) override;
  bool AppendLine(const std::wstring& path, const std::wstring& line) override;
  bool OnlyAdministratorsMayChange(const std::wstring& path) override;
  bool IsFolder(const std::wstring& path) override { return folders.count(path) != 0; }
  bool SameFolder(const std::wstring& a, const std::wstring& b) override;

  std::map<std::wstring, std::uint64_t> files;              // path -> size
  std::set<std::wstring> readOnly;                          // refuse a delete, as on Windows
  std::set<std::wstring> refuseWrites;                      // paths that cannot be written
  std::set<std::wstring> denied;                            // paths this process lacks the rights for
  std::set<std::wstring> unexaminable;                      // there, but their size cannot be read
  std::set<std::wstring> links;                             // links: never followed, never the threat
  std::set<std::wstring> failing;                           // deletions that fail for no known reason
  std::map<std::wstring, std::vector<std::wstring>> lines;  // text files written by AppendLine
  // Deletions scheduled for the restart, as the system's list holds them:
  // "64:" before a path written as 64-bit programs see it.
  std::vector<std::wstring> deleteAtRestart;
  bool canScheduleDeletes = true;
  // Files that cannot be deleted, as a running program's file: nor
  // written, though they can be renamed.
  std::set<std::wstring> locked;
  std::vector<std::wstring> deleteCalls;
  std::wstring heldProgram;                // the program file held since the start
  bool programReplaced = false;            // its path holds another program than the one that runs
  std::optional<std::uint64_t> heldBytes;  // and its size then: the bytes a copy gets
  // Files in folders only administrators can change (the program's own
  // usual place among them), where they exist.
  std::set<std::wstring> adminOnly = {L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe"};
  std::vector<std::wstring> trustAsked;  // the paths whose rights were looked at
  std::set<std::wstring> folders;
  // Other names of a folder (another drive letter, a link), by the name
  // they lead to.
  std::map<std::wstring, std::wstring> folderNames;
};

class FakeProcess : public Process {
 public:
  std::wstring WindowsDirectory() override { return windowsDir; }
  std::wstring SystemDirectory() override { return systemDir; }
  std::wstring CurrentDirectory() override { return currentDir; }
  std::wstring ModuleFileName() override { return moduleFileName; }
  std::wstring ComputerName() override { return computerName; }
  LocalTime Now() override { return now; }
  bool Is64BitWindows() override { return wow64; }
  std::wstring CommandLine() override { return commandLine; }
  bool EndProcessesRunning(const std::wstring& image) override;
  void SetUnattended() override { unattended = true; }
  void WriteEvent(unsigned id, EventType type, const wchar_t* const texts[4]) override {
    events.push_back({id, type, {texts[0], texts[1], texts[2], texts[3]}});
  }
  bool ScreenSeen() override { return screenSeen; }
  LockResult LockMachine(unsigned milliseconds) override {
    lockWaits.push_back(milliseconds);
    endsBeforeLock.push_back(endRequests.size());
    locked = lockAnswer == LockResult::Held;
    return lockAnswer;
  }
  void UnlockMachine() override { locked = false; }
  void EndProcess(int exitCode) override {
    ++endCalls;
    exitCodes.push_back(exitCode);
  }
  Elevation ElevationState() override { return elevation; }
  RelaunchResult RelaunchElevated(const std::wstring& arguments) override {
    relaunches.push_back(arguments);
    return relaunchResult;
  }

  std::wstring windowsDir = L"C:\\WINDOWS";
  std::wstring systemDir = L"C:\\WINDOWS\\system32";
  std::wstring currentDir = L"C:\\TOOLS";
  std::wstring moduleFileName = L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe";
  std::wstring commandLine = L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\"";
  std::wstring computerName = L"LAB-07";
  LocalTime now{2026, 12, 8, 9, 5, 7, 420};
  bool wow64 = false;
  bool unattended = false;
  bool screenSeen = true;  // false: a window station nobody sees
  // The machine's lock: what each request for it gets (Busy: another run
  // keeps it for longer than any wait), the waits asked for, and how many
  // end requests had been made at each.
  LockResult lockAnswer = LockResult::Held;
  bool locked = false;
  std::vector<unsigned> lockWaits;
  std::vector<std::size_t> endsBeforeLock;
  // Running processes by the image they were started from; those from an
  // image in unkillable cannot be ended. endRequests lists the images asked for.
  std::multiset<std::wstring> running;
  std::set<std::wstring> unkillable;
  std::vector<std::wstring> endRequests;
  // Called when a process of that image ends, as the system lets go of its file.
  std::function<void(const std::wstring&)> onEnded;
  int endCalls = 0;
  std::vector<int> exitCodes;
  Elevation elevation = Elevation::Elevated;
  RelaunchResult relaunchResult = RelaunchResult::Started;
  std::vector<std::wstring> relaunches;
  // The records written to the event log, in order.
  struct Event {
    unsigned id;
    EventType type;
    std::array<std::wstring, 4> texts;  // step, outcome word, what happened, exit code
  };
  std::vector<Event> events;
};

class FakeDialogs : public Dialogs {
 public:
  void ShowMessage(const std::wstring& text) override {
    messages.push_back(text);
    if (onShow) onShow();
  }
  std::vector<std::wstring> messages;
  std::function<void()> onShow;  // while the box is up
};

class FakePower : public Power {
 public:
  bool RequestRestart() override {
    ++restartRequests;
    return accept;
  }
  bool accept = true;
  int restartRequests = 0;
};

class FakeShell : public Shell {
 public:
  void OpenUrl(const std::wstring& url) override { urls.push_back(url); }
  std::vector<std::wstring> urls;
};

// A clock the test moves: every wait advances it by the time waited, or by
// eventEvery when an event arrives sooner. onEvent runs for each pump, the
// way a queued click would.
class FakeClock : public EventClock {
 public:
  double Now() override { return now; }
  void WaitForEvents(double maxSeconds) override;
  void ProcessPendingEvents() override;

  double now = 1000.0;
  double eventEvery = 0.0;  // 0: no events, each wait runs to its end
  int waits = 0;
  int pumps = 0;
  std::vector<double> waitRequests;
  std::function<void()> onEvent;
};

class FakeView : public FormView {
 public:
  void SetText(Control control, const std::wstring& text) override { texts[control] = text; }
  std::wstring GetText(Control control) override { return texts[control]; }
  void SetLeft(Control control, float twips) override { Record(control, L"Left", twips); }
  void SetTop(Control control, float twips) override { Record(control, L"Top", twips); }
  void SetWidth(Control control, float twips) override { Record(control, L"Width", twips); }
  float ClientWidth() override { return clientWidth; }
  float ClientHeight() override { return clientHeight; }
  bool IsMinimized() override { return minimized; }

  struct Write {
    Control control;
    std::wstring property;
    float value;
  };
  std::map<Control, std::wstring> texts;
  std::vector<Write> writes;
  float clientWidth = 6345;
  float clientHeight = 4890;
  bool minimized = false;

 private:
  void Record(Control control, const wchar_t* property, float value) { writes.push_back({control, property, value}); }
};

// Everything together, wired as the program uses it.
struct FakeMachine {
  FakeProcess process;
  FakeFiles files;
  FakeRegistry registry;
  FakeDialogs dialogs;
  FakePower power;
  FakeShell shell;
  FakeClock clock;
  FakeView view;

  Platform platform() { return {process, files, registry, dialogs, power, shell, clock}; }
};

}  // namespace kolvane::fake
