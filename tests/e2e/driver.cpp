#include "driver.h"

#include <vector>

namespace e2e {
namespace {

void Pause() { ::Sleep(10); }

struct Search {
  DWORD pid;
  const wchar_t* className;
  std::wstring caption;
  std::wstring prefix;
  bool matchText;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!::IsWindowVisible(window)) return TRUE;
  if (s->pid != 0 && ProcessOf(window) != s->pid) return TRUE;
  if (ClassOf(window) != s->className) return TRUE;
  if (!s->caption.empty() && WindowText(window) != s->caption) return TRUE;
  if (s->matchText && MessageBoxText(window).rfind(s->prefix, 0) != 0) return TRUE;
  s->found = window;
  return FALSE;
}

HWND WaitFor(Search search, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  do {
    search.found = nullptr;
    ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Pause();
  } while (::GetTickCount64() < end);
  return nullptr;
}

}  // namespace

std::wstring ProgramPath() {
  // Another build of the program (a signed release), when one is named.
  wchar_t other[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"KOLVANE_PROGRAM", other, MAX_PATH) > 0) return other;
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"KolvaneBackdoorHeliosB.exe";
}

App::App(const std::wstring& arguments, const std::wstring& program, bool waitIdle) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
    info_ = {};
    return;
  }
  if (waitIdle) ::WaitForInputIdle(info_.hProcess, kTimeoutMs);
}

App::~App() {
  if (info_.hProcess == nullptr) return;
  if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(info_.hProcess, 99);
  ::CloseHandle(info_.hThread);
  ::CloseHandle(info_.hProcess);
}

bool App::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (info_.hProcess == nullptr || ::WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) ::GetExitCodeProcess(info_.hProcess, exitCode);
  return true;
}

HWND WaitForWindow(DWORD pid, const wchar_t* className, const std::wstring& caption, DWORD timeoutMs) {
  return WaitFor({pid, className, caption, L"", false, nullptr}, timeoutMs);
}

HWND WaitForMessageBox(DWORD pid, const std::wstring& prefix, DWORD timeoutMs) {
  return WaitFor({pid, L"#32770", L"", prefix, true, nullptr}, timeoutMs);
}

bool NoWindowFor(const std::wstring& caption, DWORD ms) {
  return WaitFor({0, L"KolvaneForm1", caption, L"", false, nullptr}, ms) == nullptr;
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT, since GetWindowText does not ask another process's controls.
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::vector<wchar_t> text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             2000, &copied)) {
    return {};
  }
  return std::wstring(text.data(), copied);
}

std::wstring MessageBoxText(HWND box) {
  HWND label = ::GetDlgItem(box, 0xFFFF);
  return label == nullptr ? std::wstring() : WindowText(label);
}

std::wstring PlainBoxFault(HWND box) {
  std::wstring fault;
  int buttons = 0;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    const std::wstring cls = ClassOf(child);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (cls == L"Button") {
      ++buttons;
      if (::GetDlgCtrlID(child) != IDOK) fault += L"a button other than OK: " + WindowText(child) + L"; ";
    } else if (cls == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
      // Wine keeps an empty icon control in every box.
      DWORD_PTR icon = 0;
      ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
      if (icon != 0) fault += L"an icon; ";
    }
  }
  if (buttons != 1) fault += L"buttons shown: " + std::to_wstring(buttons) + L"; ";
  return fault;
}

std::wstring PurgeLog(const std::wstring& registry, const std::wstring& path, const std::wstring& file) {
  return L"Proses Pembasmian Virus...\r\n            Proses mengubah registri ... " + registry +
         L"\r\n            Proses menghapus file " + path + L" ... " + file + L"\r\n";
}

bool PressOk(HWND box) {
  ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  const ULONGLONG end = ::GetTickCount64() + kTimeoutMs;
  while (::IsWindow(box) && ::IsWindowVisible(box)) {
    if (::GetTickCount64() >= end) return false;
    Pause();
  }
  return true;
}

HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text) {
  for (HWND child = ::FindWindowExW(parent, nullptr, className, nullptr); child != nullptr;
       child = ::FindWindowExW(parent, child, className, nullptr)) {
    if (WindowText(child) == text) return child;
  }
  return nullptr;
}

bool ClickButton(HWND parent, const std::wstring& text) {
  HWND button = FindChild(parent, L"Button", text);
  return button != nullptr && ::PostMessageW(button, BM_CLICK, 0, 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

bool WaitUntilRunning(DWORD pid) {
  const ULONGLONG end = ::GetTickCount64() + kTimeoutMs;
  do {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const bool named = process != nullptr && ::QueryFullProcessImageNameW(process, 0, image, &size);
    if (process != nullptr) ::CloseHandle(process);
    if (named) return true;
    Pause();
  } while (::GetTickCount64() < end);
  return false;
}

bool RunWineboot() {
  wchar_t commandLine[] = L"wineboot.exe";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  const bool ended = ::WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0;
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return ended;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::wstring ThreatPath() {
  wchar_t dir[MAX_PATH] = {};
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\ssvchost.exe";
}

std::wstring ThreatPath64() {
  wchar_t dir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\Sysnative\\ssvchost.exe";
}

void PlantProgram(const std::wstring& path, DWORD size, std::wstring standIn) {
  if (standIn.empty()) standIn = ProgramPath().substr(0, ProgramPath().find_last_of(L'\\') + 1) + L"threat_standin.exe";
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::CopyFileW(standIn.c_str(), path.c_str(), FALSE);
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER end{};
  end.QuadPart = size;
  ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
  ::SetEndOfFile(file);
  ::CloseHandle(file);
}

void PlantFile(const std::wstring& path, DWORD size) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::vector<char> zeros(size, 0);
  DWORD written = 0;
  ::WriteFile(file, zeros.data(), size, &written, nullptr);
  ::CloseHandle(file);
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileText(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
  ::CloseHandle(file);
  return text;
}

namespace {

// The key open in the given view, created when asked to; null on failure.
HKEY OpenKey(const std::wstring& key, REGSAM access, REGSAM view, bool create) {
  HKEY handle = nullptr;
  const LONG result = create ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, access | view, nullptr,
                                                 &handle, nullptr)
                             : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access | view, &handle);
  return result == ERROR_SUCCESS ? handle : nullptr;
}

}  // namespace

void SetValue(const std::wstring& key, const std::wstring& name, const std::wstring& data, REGSAM view) {
  if (HKEY handle = OpenKey(key, KEY_SET_VALUE, view, true)) {
    ::RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
  }
}

bool ReadValue(const std::wstring& key, const std::wstring& name, std::wstring* data, REGSAM view) {
  HKEY handle = OpenKey(key, KEY_QUERY_VALUE, view, false);
  if (handle == nullptr) return false;
  wchar_t buffer[2048] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  const bool found = ::RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                        &bytes) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  if (found && data != nullptr) *data = buffer;
  return found;
}

void DeleteValue(const std::wstring& key, const std::wstring& name, REGSAM view) {
  if (HKEY handle = OpenKey(key, KEY_SET_VALUE, view, false)) {
    ::RegDeleteValueW(handle, name.c_str());
    ::RegCloseKey(handle);
  }
}

void DeleteValueEverywhere(const std::wstring& key, const std::wstring& name) {
  for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) DeleteValue(key, name, view);
}

std::wstring CopyPath() {
  wchar_t dir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\KolvaneBackdoorHeliosB.exe";
}

DWORD TimeoutMs() {
  wchar_t slow[2] = {};
  return ::GetEnvironmentVariableW(L"KOLVANE_SLOW", slow, 2) != 0 ? 150000 : 15000;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace e2e
