// Runs into one of the release runtime's failure paths, built exactly as
// the program is, for the end-to-end tests:
//   fatal_probe.exe memory   an allocation that cannot be met
//   fatal_probe.exe length   a string longer than it may be
// Each should show its message and end the process with code 3; with
// "unattended" as well, as a switch for scripts runs, it shows nothing.
#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"

// Kept where the compiler must assume someone reads it, so that the
// allocation is not optimised away.
void* volatile g_block = nullptr;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring argument = ::GetCommandLineW();
  // Unattended as the program makes a switch's run: through its own
  // platform, whose flag the runtime's failure paths must read.
  if (argument.find(L"unattended") != std::wstring::npos) kolvane::win32::Win32Process().SetUnattended();
  if (argument.find(L"memory") != std::wstring::npos) {
    // Half the address space, more than the heap can give a 32-bit or a
    // 64-bit process.
    volatile std::size_t size = ~std::size_t{0} / 2 - 15;
    g_block = new char[size];
  } else if (argument.find(L"length") != std::wstring::npos) {
    std::wstring text;
    text.reserve(text.max_size() + 1);
  }
  return 0;
}
