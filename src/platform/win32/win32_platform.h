// The platform on real Windows.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/platform.h"

namespace kolvane::win32 {

class Win32Registry : public Registry {
 public:
  OpenedKey Open(RegRoot root, const std::wstring& subKey) override;
  OpenedKey Create(RegRoot root, const std::wstring& subKey) override;
};

class Win32Files : public Files {
 public:
  std::optional<std::uint64_t> SizeOf(const std::wstring& path) override;
  bool Delete(const std::wstring& path) override;
  bool DeleteAtRestart(const std::wstring& path) override;
};

class Win32Process : public Process {
 public:
  std::wstring WindowsDirectory() override;
  std::wstring SystemDirectory() override;
  std::wstring CurrentDirectory() override;
  std::wstring ModuleFileName() override;
  std::wstring CommandLine() override;
  Elevation ElevationState() override;
  RelaunchResult RelaunchElevated(const std::wstring& arguments) override;
  void EndProcess() override;
};

class Win32Dialogs : public Dialogs {
 public:
  explicit Win32Dialogs(std::wstring title) : title_(std::move(title)) {}
  // Boxes are owned by this window once it is visible.
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::wstring& text) override;

 private:
  std::wstring title_;
  HWND owner_ = nullptr;
};

class Win32Power : public Power {
 public:
  bool RequestRestart() override;
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
