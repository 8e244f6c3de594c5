// The platform on real Windows. Each interface of platform.h has its own
// file: win32_registry.cpp, win32_files.cpp, win32_process.cpp, and the
// small ones (dialogs, power, shell, clock) in win32_session.cpp.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"

namespace kolvane::win32 {

// The system calls of the registry whose requests the tests check; each
// is Windows' own unless a test stands in for it.
struct RegistryCalls {
  LONG(WINAPI* regLoadKey)(HKEY, LPCWSTR, LPCWSTR) = ::RegLoadKeyW;
  LONG(WINAPI* regUnLoadKey)(HKEY, LPCWSTR) = ::RegUnLoadKeyW;
  BOOL(WINAPI* adjustTokenPrivileges)
  (HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) = ::AdjustTokenPrivileges;
};

class Win32Registry : public Registry {
 public:
  Win32Registry() = default;
  explicit Win32Registry(RegistryCalls calls) : calls_(calls) {}
  OpenedKey Open(RegRoot root, const std::wstring& subKey) override;
  OpenedKey Create(RegRoot root, const std::wstring& subKey) override;
  RegStatus QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) override;
  RegStatus ReadString(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                       std::wstring& data) override;
  RegStatus LoadHive(const std::wstring& name, const std::wstring& file) override;
  RegStatus UnloadHive(const std::wstring& name) override;

 private:
  RegistryCalls calls_;
};

// The system calls of the files whose requests the tests check; each is
// Windows' own unless a test stands in for it (the redirection functions,
// which Windows XP lacks, are looked up on first use).
struct FileCalls {
  HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) = ::CreateFileW;
  BOOL(WINAPI* moveFileEx)(LPCWSTR, LPCWSTR, DWORD) = ::MoveFileExW;
  BOOL(WINAPI* disableRedirection)(PVOID*) = nullptr;
  BOOL(WINAPI* revertRedirection)(PVOID) = nullptr;
  // What the log's checks ask of its folders and of the open file.
  DWORD(WINAPI* getFileAttributes)(LPCWSTR) = ::GetFileAttributesW;
  BOOL(WINAPI* getFileInformation)(HANDLE, LPBY_HANDLE_FILE_INFORMATION) = ::GetFileInformationByHandle;
  DWORD(WINAPI* getFinalPathName)(HANDLE, LPWSTR, DWORD, DWORD) = nullptr;
  // Attributes and the deletion of an open file (Vista's call; ntdll's
  // where Windows lacks it).
  BOOL(WINAPI* setFileInformation)(HANDLE, int, LPVOID, DWORD) = nullptr;
  // Who may change a file and its folders, and what kind of drive it is on.
  DWORD(WINAPI* getNamedSecurityInfo)
  (LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
   PSECURITY_DESCRIPTOR*) = ::GetNamedSecurityInfoW;
  UINT(WINAPI* getDriveType)(LPCWSTR) = ::GetDriveTypeW;
};

class Win32Files : public Files {
 public:
  Win32Files() = default;
  explicit Win32Files(FileCalls calls) : calls_(calls) {}
  FileStatus SizeOf(const std::wstring& path, std::uint64_t& size) override;
  FileStatus DeleteOfSize(const std::wstring& path, std::uint64_t size) override;
  bool Delete(const std::wstring& path) override;
  bool DeleteAtRestart(const std::wstring& path, bool nativeView) override;
  bool Move(const std::wstring& from, const std::wstring& to) override;
  void HoldProgramFile(const std::wstring& path) override;
  FileStatus CopyHeldProgram(const std::wstring& to) override;
  bool AppendLine(const std::wstring& path, const std::wstring& line) override;
  bool OnlyAdministratorsMayChange(const std::wstring& path) override;
  bool IsFolder(const std::wstring& path) override;
  bool SameFolder(const std::wstring& a, const std::wstring& b) override;

 private:
  // The file at path, opened as itself (never what a link points to).
  HANDLE Open(const std::wstring& path, DWORD access);
  // The size of an open regular file; NotFound for a directory or a link.
  static FileStatus Measure(HANDLE file, std::uint64_t& size);
  // The log's full path when each of its folders is a plain folder on a
  // disk or a share; empty when it is not, or names no file.
  std::wstring PlainLogPath(const std::wstring& path);
  // Whether the open file is the one at full, where the system can tell.
  bool LeadsWhereItNames(HANDLE file, const std::wstring& full);
  // Whether nobody but administrators and the system owns the file or
  // folder at path or holds any of these rights to it.
  bool NobodyElseMay(const std::wstring& path, DWORD rights);

  FileCalls calls_;
  ScopedFileHandle program_;
};

// The system calls of the processes whose requests the tests check; each
// is Windows' own unless a test stands in for it (the shell's, loaded on
// first use when null).
struct ProcessCalls {
  BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW*) = nullptr;
  BOOL(WINAPI* terminateProcess)(HANDLE, UINT) = ::TerminateProcess;
  DWORD(WINAPI* waitForSingleObject)(HANDLE, DWORD) = ::WaitForSingleObject;
  DWORD(WINAPI* getModuleFileName)(HMODULE, LPWSTR, DWORD) = ::GetModuleFileNameW;
  // The machine's lock.
  HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) = ::CreateFileW;
  // Who may see the screen.
  DWORD(WINAPI* getVersion)() = ::GetVersion;
  BOOL(WINAPI* processIdToSessionId)(DWORD, DWORD*) = ::ProcessIdToSessionId;
  HWINSTA(WINAPI* getProcessWindowStation)() = ::GetProcessWindowStation;
  BOOL(WINAPI* getUserObjectInformation)(HANDLE, int, PVOID, DWORD, LPDWORD) = ::GetUserObjectInformationW;
  // The event log's record; null: advapi32's own, looked up when it is
  // written (the log service may be absent).
  BOOL(WINAPI* reportEvent)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID) = nullptr;
};

// Names compared as the file system compares them: code point by code
// point, upper-cased the same for every user, never by the user's locale
// (which may ignore a character or take a Turkish dotless i for an i).
bool SameName(const wchar_t* a, const wchar_t* b);

class Win32Process : public Process {
 public:
  Win32Process() = default;
  explicit Win32Process(ProcessCalls calls) : calls_(calls) {}
  std::wstring WindowsDirectory() override;
  std::wstring SystemDirectory() override;
  std::wstring CurrentDirectory() override;
  std::wstring ModuleFileName() override;
  std::wstring ComputerName() override;
  LocalTime Now() override;
  bool Is64BitWindows() override;
  std::wstring CommandLine() override;
  Elevation ElevationState() override;
  RelaunchResult RelaunchElevated(const std::wstring& arguments) override;
  bool EndProcessesRunning(const std::wstring& image) override;
  bool ScreenSeen() override;
  LockResult LockMachine(unsigned milliseconds) override;
  void UnlockMachine() override;
  void SetUnattended() override;
  void WriteEvent(unsigned id, EventType type, const wchar_t* const texts[4]) override;
  void EndProcess(int exitCode) override;

 private:
  // The file that is the machine's lock.
  std::wstring LockPath();

  ProcessCalls calls_;
  ScopedFileHandle lock_;  // the machine's lock while this process has it
};

class Win32Dialogs : public Dialogs {
 public:
  // title: a text that lives as long as the program (a constant).
  explicit Win32Dialogs(const wchar_t* title) : title_(title) {}
  // Boxes are owned by this window while it exists; once it is destroyed
  // they are shown without an owner, since Windows shows none for a
  // destroyed one.
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::wstring& text) override;

 private:
  const wchar_t* title_;
  HWND owner_ = nullptr;
};

class Win32Power : public Power {
 public:
  using ExitWindowsFn = BOOL(WINAPI*)(UINT, DWORD);
  // exitWindows stands in for ExitWindowsEx (tests record the request).
  explicit Win32Power(ExitWindowsFn exitWindows = ::ExitWindowsEx) : exitWindows_(exitWindows) {}
  bool RequestRestart() override;

 private:
  ExitWindowsFn exitWindows_;
};

class Win32Shell : public Shell {
 public:
  void OpenUrl(const std::wstring& url) override;
};

class Win32EventClock : public EventClock {
 public:
  // Keyboard navigation (Tab, Enter) is handled for this window.
  void SetDialogWindow(HWND window) { dialog_ = window; }
  double Now() override;
  void WaitForEvents(double maxSeconds) override;
  void ProcessPendingEvents() override;
  // Handles one message as the main loop does.
  void Dispatch(MSG& msg);
  // A WM_QUIT met while pumping is kept here for the main loop.
  bool QuitSeen() const { return quitSeen_; }
  int QuitCode() const { return quitCode_; }

 private:
  HWND dialog_ = nullptr;
  bool quitSeen_ = false;
  int quitCode_ = 0;
};

}  // namespace kolvane::win32
