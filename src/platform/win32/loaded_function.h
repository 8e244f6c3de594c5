// Functions that only some Windows versions export, looked up at run time
// so that the program still loads where they are missing.
#pragma once

#include <windows.h>

namespace kolvane::win32 {

// The function name in module, a DLL the program already has loaded
// (kernel32, user32); null where this Windows lacks it.
template <typename Fn>
Fn LoadedFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}

}  // namespace kolvane::win32
