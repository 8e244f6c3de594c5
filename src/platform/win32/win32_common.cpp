#include "platform/win32/win32_common.h"

#include <objbase.h>

#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace kolvane::win32 {

void EnablePrivilege(const wchar_t* name) {
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive())) return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
    ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  }
}

// The shell and COM are loaded on first use, from the system directory only:
// most runs never open a web page, and the purge after a restart should not
// pay for loading them.
FARPROC SystemFunction(const wchar_t* dll, const char* name) {
  // The system directory, a backslash and the DLL's name, in one buffer.
  wchar_t path[MAX_PATH + 16] = {};
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  path[length++] = L'\\';
  for (; *dll != L'\0' && length < MAX_PATH + 15; ++dll) path[length++] = *dll;
  HMODULE module = ::GetModuleHandleW(path);
  if (module == nullptr) module = ::LoadLibraryW(path);
  return module == nullptr ? nullptr : ::GetProcAddress(module, name);
}

void EnterApartmentOnce() {
  static const bool entered = [] {
    using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
    const auto coInitializeEx = Function<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx");
    return coInitializeEx != nullptr &&
           SUCCEEDED(coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  }();
  (void)entered;
}

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = *a;
    wchar_t y = *b;
    if (x != y) {
      ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &x, 1, &x, 1);
      ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &y, 1, &y, 1);
      if (x != y) return false;
    }
    if (x == L'\0') return true;
  }
}

}  // namespace kolvane::win32
