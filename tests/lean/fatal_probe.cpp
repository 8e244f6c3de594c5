// Runs into one of the release runtime's failure paths, built exactly as
// the program is, for the end-to-end tests:
//   fatal_probe.exe memory   an allocation that cannot be met
//   fatal_probe.exe length   a string longer than it may be
// Each should show its message and end the process with code 3; with
// "unattended" as well, as a switch for scripts runs, it shows nothing.
//   fatal_probe.exe copies   the runtime's own memory functions, on ranges
//                            that overlap either way: exit code 0 when
//                            every result is right, else the first wrong
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/win32/win32_platform.h"

// Kept where the compiler must assume someone reads it, so that the
// allocation is not optimised away.
void* volatile g_block = nullptr;

// Called through pointers the compiler cannot see through, so that the
// runtime's functions run and not the compiler's own expansion of them.
void* (*volatile g_move)(void*, const void*, std::size_t) = &std::memmove;
int (*volatile g_compare)(const void*, const void*, std::size_t) = &std::memcmp;

int Copies() {
  struct Case {
    std::size_t to, from, length;
    const char* expected;
  };
  const Case cases[] = {
      {2, 0, 6, "ababcdefij"},  // onto its own end: copied from the back
      {0, 2, 6, "cdefghghij"},  // onto its own start: from the front
      {3, 3, 4, "abcdefghij"},  // onto itself
      {1, 0, 0, "abcdefghij"},  // nothing
  };
  int number = 1;
  for (const Case& c : cases) {
    char text[] = "abcdefghij";
    if (g_move(text + c.to, text + c.from, c.length) != text + c.to || std::string(text) != c.expected) return number;
    ++number;
  }
  const unsigned char low[] = {1, 0x7F}, high[] = {1, 0x80};
  if (g_compare(low, high, 2) >= 0 || g_compare(high, low, 2) <= 0 || g_compare(low, high, 1) != 0) return number;
  return 0;
}

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
  } else if (argument.find(L"copies") != std::wstring::npos) {
    return Copies();
  } else if (argument.find(L"length") != std::wstring::npos) {
    std::wstring text;
    text.reserve(text.max_size() + 1);
  }
  return 0;
}
