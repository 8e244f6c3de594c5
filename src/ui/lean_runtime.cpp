// The start of the process and the C++ runtime's failure paths, written
// small for MinGW. Its own start-up code and libstdc++'s exception support
// would be four times the size of the whole program: the program is built
// without exceptions, so what the library would throw ends the process
// here, with a message instead of a silent exit.
#include <windows.h>

#include <cstddef>
#include <new>

#include "app/texts.h"
#include "platform/win32/unattended.h"

namespace {

// Ends the process with code 3, saying why to whoever is at the screen.
// Memory may have run out: the text is widened on the stack.
[[noreturn]] void Fatal(const char* text) {
  if (!kolvane::win32::g_unattended) {
    wchar_t wide[64] = {};
    for (int i = 0; i < 63 && text[i] != '\0'; ++i) wide[i] = static_cast<wchar_t>(text[i]);
    ::MessageBoxW(nullptr, wide, kolvane::text::AppTitle, MB_OK);
  }
  ::ExitProcess(3);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* block = ::HeapAlloc(::GetProcessHeap(), 0, size == 0 ? 1 : size)) return block;
  Fatal(kolvane::text::OutOfMemory);
}

void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept {
  if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }

// libstdc++ reports a failed allocation or a misuse (a length past
// max_size(), an index out of range) through these.
namespace std {
void __throw_bad_alloc() { Fatal(kolvane::text::OutOfMemory); }
void __throw_bad_array_new_length() { Fatal(kolvane::text::OutOfMemory); }
void __throw_length_error(const char*) { Fatal(kolvane::text::InternalError); }
void __throw_logic_error(const char*) { Fatal(kolvane::text::InternalError); }
void __throw_out_of_range(const char*) { Fatal(kolvane::text::InternalError); }
void __throw_out_of_range_fmt(const char*, ...) { Fatal(kolvane::text::InternalError); }
void __throw_invalid_argument(const char*) { Fatal(kolvane::text::InternalError); }
}  // namespace std

extern "C" void __cxa_pure_virtual() { Fatal(kolvane::text::InternalError); }

// The three C library functions that libstdc++'s strings call, here so that
// the program imports no C runtime DLL at all. Written as plain loops, which
// the compiler must not turn back into calls of themselves.
#define KOLVANE_PLAIN_LOOP __attribute__((optimize("no-tree-loop-distribute-patterns")))

extern "C" KOLVANE_PLAIN_LOOP int memcmp(const void* a, const void* b, std::size_t n) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (; n != 0; --n, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

extern "C" KOLVANE_PLAIN_LOOP void* memmove(void* to, const void* from, std::size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  const auto* s = static_cast<const unsigned char*>(from);
  if (d < s) {
    while (n-- != 0) *d++ = *s++;
  } else {
    while (n-- != 0) d[n] = s[n];
  }
  return to;
}

extern "C" KOLVANE_PLAIN_LOOP std::size_t wcslen(const wchar_t* text) {
  std::size_t n = 0;
  while (text[n] != L'\0') ++n;
  return n;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show);

using Constructor = void (*)();
// Made by the linker: a marker, the constructors of static objects, a null.
extern "C" Constructor __CTOR_LIST__[];

// Runs first of all, before the static constructors, while nothing of the
// program has written to its image. A program may define its own; this
// library's does nothing (src/ui/at_start.cpp).
extern "C" void KolvaneAtStart();

// The entry point the linker is told of. Runs the static constructors in
// the order the C runtime would (last listed first) and hands wWinMain what
// Windows gave the process. The program reads its command line itself.
extern "C" void WINAPI KolvaneEntry() {
  KolvaneAtStart();
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (std::size_t i = count; i >= 1; --i) __CTOR_LIST__[i]();

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  ::ExitProcess(static_cast<UINT>(wWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, show)));
}
