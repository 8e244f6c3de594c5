// The small ones: message boxes, the restart, web pages and the clock.
#include <cmath>

#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace kolvane::win32 {

void Win32Dialogs::ShowMessage(const std::wstring& text) {
  HWND owner = owner_ != nullptr && ::IsWindow(owner_) ? owner_ : nullptr;
  ::MessageBoxW(owner, text.c_str(), title_, MB_OK);
}

bool Win32Power::RequestRestart() {
  // The caller's token must have the shutdown privilege enabled, or the
  // request fails with ERROR_PRIVILEGE_NOT_HELD.
  EnablePrivilege(SE_SHUTDOWN_NAME);
  // Restart (0x0002) together with the 0x8000 bit the program has always passed.
  return exitWindows_(0x8002, 0) != FALSE;
}

void Win32Shell::OpenUrl(const std::wstring& url) {
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  const auto shellExecute = Function<ShellExecuteFn>(L"shell32.dll", "ShellExecuteW");
  if (shellExecute == nullptr) return;
  EnterApartmentOnce();
  shellExecute(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

double Win32EventClock::Now() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Win32EventClock::WaitForEvents(double maxSeconds) {
  const DWORD ms = maxSeconds <= 0.0 ? 0 : static_cast<DWORD>(std::ceil(maxSeconds * 1000.0));
  ::MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32EventClock::ProcessPendingEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quitSeen_ = true;
      quitCode_ = static_cast<int>(msg.wParam);
      continue;
    }
    Dispatch(msg);
  }
}

void Win32EventClock::Dispatch(MSG& msg) {
  if (dialog_ != nullptr && ::IsDialogMessageW(dialog_, &msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

}  // namespace kolvane::win32
