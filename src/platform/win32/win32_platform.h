// The platform on real Windows.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"

namespace kolvane::win32 {

class Win32Registry : public Registry {
 public:
  OpenedKey Open(RegRoot root, const std::wstring& subKey) override;
  OpenedKey Create(RegRoot root, const std::wstring& subKey) override;
  RegStatus QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) override;
};

class Win32Files : public Files {
 public:
  FileStatus SizeOf(const std::wstring& path, std::uint64_t& size) override;
  FileStatus DeleteOfSize(const std::wstring& path, std::uint64_t size) override;
  bool Delete(const std::wstring& path) override;
  bool DeleteAtRestart(const std::wstring& path, bool nativeView) override;
  void ClearAttributes(const std::wstring& path) override;
  bool Move(const std::wstring& from, const std::wstring& to) override;
  void HoldProgramFile(const std::wstring& path) override;
  FileStatus CopyHeldProgram(const std::wstring& to) override;
  bool AppendLine(const std::wstring& path, const std::wstring& line) override;

 private:
  ScopedFileHandle program_;
};

class Win32Process : public Process {
 public:
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  // shellExecuteEx stands in for the shell's ShellExecuteExW (tests record
  // the request with it); by default the shell's own is loaded on first use.
  explicit Win32Process(ShellExecuteExFn shellExecuteEx = nullptr) : shellExecuteEx_(shellExecuteEx) {}
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
  void SetUnattended() override;
  void EndProcess(int exitCode) override;

 private:
  ShellExecuteExFn shellExecuteEx_;
};

class Win32Dialogs : public Dialogs {
 public:
  explicit Win32Dialogs(std::wstring title) : title_(std::move(title)) {}
  // Boxes are owned by this window while it exists; once it is destroyed
  // they are shown without an owner, since Windows shows none for a
  // destroyed one.
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::wstring& text) override;

 private:
  std::wstring title_;
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
