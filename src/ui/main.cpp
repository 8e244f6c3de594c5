// Entry point: builds the real platform, the window and Form1, runs the
// load handler before the window is shown, then the message loop.
#include <windows.h>

#include <memory>

#include "app/form1.h"
#include "app/texts.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/program_image.h"
#include "platform/win32/win32_platform.h"
#include "ui/main_window.h"

// Called by the entry point before the static constructors: the program's
// file is compared with its image while nothing has written to the image.
extern "C" void KolvaneAtStart() {
  // Room for the longest path Windows gives.
  const std::unique_ptr<wchar_t[]> path(new wchar_t[32768]);
  if (::GetModuleFileNameW(nullptr, path.get(), 32768) < 32768) {
    kolvane::win32::CheckProgramFile(path.get(), ::GetModuleHandleW(nullptr));
  }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  using namespace kolvane;
  win32::HardenDllSearch();
  win32::Win32Process process;
  win32::Win32Files files;
  win32::Win32Registry registry;
  win32::Win32Dialogs dialogs(text::AppTitle);
  win32::Win32Power power;
  win32::Win32Shell shell;
  win32::Win32EventClock clock;

  // Form_Load runs before the window exists: the purge after a restart
  // never shows it, so it is created only for an interactive run.
  ui::MainWindow window(instance);
  Form1 form({process, files, registry, dialogs, power, shell, clock}, window);
  if (form.Form_Load() == Form1::AfterLoad::ProcessEnded) return 0;

  if (!window.Create()) {
    ::MessageBoxW(nullptr, text::Wide(text::WindowFailed).c_str(), text::AppTitle, MB_OK);
    return 1;
  }
  window.Attach(&form);
  clock.SetDialogWindow(window.hwnd());

  form.Form_Resize();
  ::ShowWindow(window.hwnd(), show);
  ::UpdateWindow(window.hwnd());
  dialogs.SetOwner(window.hwnd());
  ::SetFocus(::GetNextDlgTabItem(window.hwnd(), nullptr, FALSE));

  MSG msg{};
  int exitCode = 0;
  while (!clock.QuitSeen()) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) exitCode = static_cast<int>(msg.wParam);
    if (got <= 0) break;
    clock.Dispatch(msg);
  }
  if (clock.QuitSeen()) exitCode = clock.QuitCode();
  return exitCode;
}
