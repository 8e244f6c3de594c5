// Stands in for the running backdoor in the end-to-end tests: a program
// that only waits. The tests copy it to the threat's place and pad it to
// the threat's size. Started with "guard", it also does what a backdoor
// that guards its start-up does: writes its own path to its Run value
// every 50 ms. Started with "lock", it creates and holds the mutex that
// earlier versions of the program took as their one-run-at-a-time lock, as
// any user or the backdoor could. With KOLVANE_STANDIN_EXIT set, it stands
// in for the program in the deployment scripts' tests: it ends at once with
// that exit code.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t code[16] = {};
  if (::GetEnvironmentVariableW(L"KOLVANE_STANDIN_EXIT", code, 16) != 0) return std::wcstol(code, nullptr, 10);
  if (std::wcsstr(::GetCommandLineW(), L" lock") != nullptr &&
      ::CreateMutexW(nullptr, TRUE, L"Global\\KolvaneBackdoorHeliosB") == nullptr) {
    return 1;
  }
  if (std::wcsstr(::GetCommandLineW(), L" guard") == nullptr) {
    ::Sleep(120000);
    return 0;
  }
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (int i = 0; i < 2400; ++i) {
    HKEY run = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &run, nullptr) == ERROR_SUCCESS) {
      ::RegSetValueExW(run, L"ssvchost", 0, REG_SZ, reinterpret_cast<const BYTE*>(self),
                       (length + 1) * sizeof(wchar_t));
      ::RegCloseKey(run);
    }
    ::Sleep(50);
  }
  return 0;
}
