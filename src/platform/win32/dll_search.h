// Keeps DLLs planted beside the program out of it. The program is often
// started from Downloads and runs with administrator rights, so a DLL by a
// system DLL's name in that folder must never load.
#pragma once

#include <windows.h>

#include "platform/win32/loaded_function.h"

namespace kolvane::win32 {

// Called first thing: later loads by bare name come from the system
// directory only. Windows 7 with KB2533623 and later have
// SetDefaultDllDirectories; elsewhere SetDllDirectoryW(L"") at least takes
// the current directory out of the search. The program's own imports are
// all DLLs that Windows loads from the system directory anyway.
inline void HardenDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = LoadedFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  const auto setDirectory = LoadedFunction<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW");
  if (setDirectory != nullptr) setDirectory(L"");
}

}  // namespace kolvane::win32
