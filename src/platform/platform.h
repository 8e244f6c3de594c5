// Everything the program asks of the machine. The logic in src/app sees
// only these interfaces; src/platform/win32 implements them on Windows and
// src/platform/fake keeps them in memory for the unit tests. Their owners
// hold the implementations themselves and reach them only by reference, so
// the interfaces' destructors are protected and not virtual (a registry key,
// owned through its interface, is the exception).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kolvane {

// Outcome of a registry call, reduced to what the program acts on.
enum class RegStatus { Ok, NotFound, AccessDenied, Failed };

// HKEY_LOCAL_MACHINE as this program sees it, and on 64-bit Windows as
// 64-bit programs see it (the 32-bit program's Software is a view of its own).
enum class RegRoot { LocalMachine, LocalMachine64 };

// An open registry key. Destroying the object closes the key, so a key is
// closed exactly once and only when it was really opened.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Stores data as a REG_SZ value; an empty text stores an empty string.
  virtual RegStatus SetString(const std::wstring& valueName, const std::wstring& data) = 0;
  virtual RegStatus DeleteValue(const std::wstring& valueName) = 0;
};

struct OpenedKey {
  RegStatus status = RegStatus::Failed;
  std::unique_ptr<RegistryKey> key;  // set only when status is Ok
};

class Registry {
 public:
  // Opens an existing key for changing its values.
  virtual OpenedKey Open(RegRoot root, const std::wstring& subKey) = 0;
  // Opens a key for changing its values, creating it and any missing parents.
  virtual OpenedKey Create(RegRoot root, const std::wstring& subKey) = 0;
  // Whether the key holds a value of this name: Ok when it does, NotFound
  // when the key or the value is not there.
  virtual RegStatus QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) = 0;
  // A text value (REG_SZ, or REG_EXPAND_SZ with its variables expanded)
  // into data: NotFound when the key or the value is not there, Failed for
  // a value of another type.
  virtual RegStatus ReadString(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                               std::wstring& data) = 0;
  // Loads a hive file (the SOFTWARE hive of a Windows that is not running)
  // as HKEY_LOCAL_MACHINE\name, with the backup and restore privileges
  // enabled for that time only: Ok when it is loaded, AccessDenied without
  // the rights, Failed for a file in use, a file that is no hive or a name
  // that is taken.
  virtual RegStatus LoadHive(const std::wstring& name, const std::wstring& file) = 0;
  // Unloads it again, with the same privileges for that time, which has
  // the system write its changes to the file. Every key opened in it must
  // be closed first.
  virtual RegStatus UnloadHive(const std::wstring& name) = 0;

 protected:
  ~Registry() = default;
};

// Outcome of a request on a file, reduced to what the program acts on.
enum class FileStatus {
  Ok,
  NotFound,  // no such file, or not the file asked for
  InUse,     // another program holds it open or runs from it
  Refused,   // access denied: this process lacks the rights
  Failed,
};

class Files {
 public:
  // Size of a regular file, into size. NotFound when there is no such file
  // (or a directory or a link by that name: a link is never followed); any
  // other failure means the file is there but could not be looked at.
  virtual FileStatus SizeOf(const std::wstring& path, std::uint64_t& size) = 0;
  // Deletes the regular file at path if it is exactly size bytes long, or
  // says NotFound. One open of the file serves the check, the clearing of
  // the attributes that refuse a deletion (read-only, hidden, system) and
  // the deletion, so nothing can be put in its place between them. A file
  // another program holds is measured all the same: InUse when it is the
  // one asked for (its attributes cleared for the deletion at the restart),
  // NotFound and untouched when it is not. A link is never followed.
  virtual FileStatus DeleteOfSize(const std::wstring& path, std::uint64_t size) = 0;
  // True when the file was deleted.
  virtual bool Delete(const std::wstring& path) = 0;
  // Has the system delete the file at the next restart, before any start-up
  // program runs; true when that was arranged. The path goes into the
  // system's list as written; with nativeView it names the file as 64-bit
  // programs see it (no redirection of System32 for a 32-bit program), as
  // the system reads that list.
  virtual bool DeleteAtRestart(const std::wstring& path, bool nativeView) = 0;
  // Gives a file another name, replacing any file of that name; a running
  // program's file may be renamed though not deleted. True when it moved.
  virtual bool Move(const std::wstring& from, const std::wstring& to) = 0;
  // Opens this program's own file (its path) and keeps it open, refusing
  // writes, renames and deletions by anyone, for the life of the process;
  // only when it is the program that runs, which is checked at the start.
  virtual void HoldProgramFile(const std::wstring& path) = 0;
  // Writes the program's bytes as the start-up check accepted them (never a
  // second read of its file) over any file at to (read-only or hidden
  // included); the copy is a plain file. Failed when nothing is held;
  // InUse when the file at to is a program that runs, which cannot be
  // written (it can be moved aside).
  virtual FileStatus CopyHeldProgram(const std::wstring& to) = 0;
  // Appends one line (a line end is added) to a UTF-8 text file, creating
  // it if needed; true when the whole line was written. Many writers may
  // share the file: one that holds it for a moment is waited for, up to
  // about two seconds, and the byte order mark goes only into an empty file.
  // A path that leads anywhere but where it names is not written: a link
  // (a junction, a mount point, a symbolic link, a second name) as any of
  // its folders or as the file itself could lead the line into any file.
  virtual bool AppendLine(const std::wstring& path, const std::wstring& line) = 0;
  // Whether the file at path (a full path) is one that only administrators
  // and the system can change: a plain file on a fixed local disk that no
  // one else may write, whose own folder no one else may add to or take
  // from, and no folder above which lets anyone else rename what it holds.
  // Nor is the owner of any of them anybody else, nor any of them a link.
  // False when any of that cannot be told.
  virtual bool OnlyAdministratorsMayChange(const std::wstring& path) = 0;
  // Whether a folder is at path (a link to one counts).
  virtual bool IsFolder(const std::wstring& path) = 0;
  // Whether the two paths lead to one folder, by whatever names they take
  // there (another drive letter, a short name, a link on the way): the
  // same folder of the same volume. False when either cannot be opened.
  virtual bool SameFolder(const std::wstring& a, const std::wstring& b) = 0;

 protected:
  ~Files() = default;
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;  // local time minus UTC
};

// Whether this process could do more with administrator rights.
enum class Elevation {
  Elevated,       // it has them, or the system knows no elevation
  CanBeElevated,  // a limited token on a system that can elevate (UAC)
};

enum class RelaunchResult { Started, Declined, Failed };

// What became of a request for the machine's lock.
enum class LockResult {
  Held,      // this run has it until UnlockMachine
  NoRights,  // only administrators and the system may take it: nor could this run change anything
  Busy,      // another run kept it for the whole wait
  Failed,    // it could not be taken for another reason
};

// The kinds of record in the Windows event log.
enum class EventType { Information, Warning, Error };

class Process {
 public:
  // Directory queries give an empty text when they fail.
  virtual std::wstring WindowsDirectory() = 0;
  virtual std::wstring SystemDirectory() = 0;
  virtual std::wstring CurrentDirectory() = 0;
  // Full path of this program's own executable.
  virtual std::wstring ModuleFileName() = 0;
  virtual std::wstring ComputerName() = 0;
  virtual LocalTime Now() = 0;
  // True when this 32-bit program runs on 64-bit Windows, which has a
  // second, 64-bit half of the system directory and of HKLM\Software.
  virtual bool Is64BitWindows() = 0;
  // The whole command line as the system delivered it, program name first.
  virtual std::wstring CommandLine() = 0;
  virtual Elevation ElevationState() = 0;
  // Starts this program again with administrator rights and the given
  // argument text; the system asks the user first. Only the program that
  // runs is started: Failed when its file is another one by now.
  virtual RelaunchResult RelaunchElevated(const std::wstring& arguments) = 0;
  // Ends every other process whose program is the file at image (its real
  // place, as the system names it) and waits for each to end. False when
  // one of them could not be looked at or ended.
  virtual bool EndProcessesRunning(const std::wstring& image) = 0;
  // False where nobody sees the screen: session 0 on Vista and later, where
  // start-up scripts, services and tasks that run whether anyone is logged
  // on or not run, or a window station that is not visible (or cannot be
  // read). A box or a window there would wait for ever.
  virtual bool ScreenSeen() = 0;
  // Waits up to milliseconds until no other run of this program is
  // changing the machine, then keeps the others waiting until
  // UnlockMachine. Only administrators and the system can take or hold the
  // lock, so neither a standard user nor a program of one can keep a run
  // waiting.
  virtual LockResult LockMachine(unsigned milliseconds) = 0;
  virtual void UnlockMachine() = 0;
  // From now on nobody is at the screen for this process: a failure that
  // ends it shows no box, and the system shows none of its own.
  virtual void SetUnattended() = 0;
  // Writes one record with these texts (event ID id) to the Application
  // log under the program's own source. A log that refuses changes nothing.
  virtual void WriteEvent(unsigned id, EventType type, const wchar_t* const texts[4]) = 0;
  // Ends the process at once with this exit code. Only the fake returns.
  virtual void EndProcess(int exitCode) = 0;

 protected:
  ~Process() = default;
};

class Dialogs {
 public:
  // Modal box: the text, an OK button only, no icon, the program's title.
  virtual void ShowMessage(const std::wstring& text) = 0;

 protected:
  ~Dialogs() = default;
};

class Power {
 public:
  // Asks the system to restart; false when the request was refused.
  virtual bool RequestRestart() = 0;

 protected:
  ~Power() = default;
};

class Shell {
 public:
  // Opens a web address in the user's browser; the outcome is not reported.
  virtual void OpenUrl(const std::wstring& url) = 0;

 protected:
  ~Shell() = default;
};

// A monotonic clock together with the window's event queue, for waiting
// without freezing the window.
class EventClock {
 public:
  // Seconds on a clock that only moves forward; unrelated to the time of day.
  virtual double Now() = 0;
  // Sleeps until an event is queued or maxSeconds have passed.
  virtual void WaitForEvents(double maxSeconds) = 0;
  // Handles every queued event (clicks, repaints) and returns.
  virtual void ProcessPendingEvents() = 0;

 protected:
  ~EventClock() = default;
};

// The window's controls as the logic names them.
enum class Control { Form1, Label1, Text1, Command1, Command2, Command3, Label3, Command5, Command6 };

// Property writes and reads on the window and its controls. Lengths are in
// twips (1440 to the inch); the implementation maps them to pixels.
class FormView {
 public:
  // Caption of the window, a button or a label; Text of the text box.
  virtual void SetText(Control control, const std::wstring& text) = 0;
  virtual std::wstring GetText(Control control) = 0;
  virtual void SetLeft(Control control, float twips) = 0;
  virtual void SetTop(Control control, float twips) = 0;
  virtual void SetWidth(Control control, float twips) = 0;
  // Size of the window's client area, inside its frame and title bar.
  virtual float ClientWidth() = 0;
  virtual float ClientHeight() = 0;
  virtual bool IsMinimized() = 0;

 protected:
  ~FormView() = default;
};

// The machine as one bundle, handed to Form1 when it is made.
struct Platform {
  Process& process;
  Files& files;
  Registry& registry;
  Dialogs& dialogs;
  Power& power;
  Shell& shell;
  EventClock& clock;
};

}  // namespace kolvane
