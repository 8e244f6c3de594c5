// Helpers that more than one of the Win32 classes needs.
#pragma once

#include <windows.h>

#include <string>

namespace kolvane::win32 {

// Runs a query that fills a buffer and returns the count written or, when
// the buffer is too small, the size needed (terminator included) or, as
// GetModuleFileNameW does, the buffer's own size: the buffer then grows to
// the larger of that count and twice its size. Empty when the query fails.
template <typename Query>
std::wstring QueryText(Query query) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD count = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (count == 0) return {};
    if (count < buffer.size()) {
      buffer.resize(count);
      return buffer;
    }
    buffer.resize(count > 2 * buffer.size() ? count : 2 * buffer.size());
  }
}

// Enables a privilege in this process's token where the token holds it.
void EnablePrivilege(const wchar_t* name);

// A function of a DLL in the system directory, loaded from there on first
// use; null when it cannot be had.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

template <typename Fn>
Fn Function(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// Shell handlers expect a single-threaded apartment on the calling thread;
// this is the program's one thread, so it is entered once and kept.
void EnterApartmentOnce();

}  // namespace kolvane::win32
