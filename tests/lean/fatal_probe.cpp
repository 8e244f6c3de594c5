// Runs into one of the release runtime's failure paths, built exactly as
// the program is, for the end-to-end tests:
//   fatal_probe.exe memory   an allocation that cannot be met
//   fatal_probe.exe length   a string longer than it may be
// Each should show its message and end the process with code 3.
#include <windows.h>

#include <string>

// Kept where the compiler must assume someone reads it, so that the
// allocation is not optimised away.
void* volatile g_block = nullptr;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring argument = ::GetCommandLineW();
  if (argument.find(L"memory") != std::wstring::npos) {
    // More than a 32-bit process can have, so the heap refuses it.
    g_block = new char[0x7FFFFFF0u];
  } else if (argument.find(L"length") != std::wstring::npos) {
    std::wstring text;
    text.reserve(text.max_size() + 1);
  }
  return 0;
}
