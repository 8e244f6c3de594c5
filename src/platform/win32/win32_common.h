// Helpers that more than one of the Win32 classes needs.
#pragma once

#include <windows.h>

namespace kolvane::win32 {

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
