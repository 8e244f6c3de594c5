#include "driver.h"

#include <cstdlib>

#include <cstdio>
#include <cstring>
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

App::App(const std::wstring& arguments, const std::wstring& program, bool waitIdle, bool suspended,
         const wchar_t* desktop) {
  std::wstring commandLine = L"\"" + Real(program) + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring place = desktop == nullptr ? L"" : desktop;
  startup.lpDesktop = desktop == nullptr ? nullptr : place.data();
  // Wine now and then fails to start a process at all; it is tried once
  // more, saying so, as scripts/wine-run does for the test programs.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0,
                         nullptr, nullptr, &startup, &info_)) {
      break;
    }
    const DWORD error = ::GetLastError();
    info_ = {};
    if (attempt == 2) return;
    std::fprintf(stderr, "could not start the program (error %lu); trying once more\n", error);
    ::Sleep(200);
  }
  if (waitIdle && !suspended) ::WaitForInputIdle(info_.hProcess, kTimeoutMs);
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

std::wstring DescribeProcess(DWORD pid) {
  std::wstring text;
  const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  DWORD code = 0;
  if (process == nullptr) {
    text = L"no such process";
  } else if (::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) {
    text = L"ended with code " + std::to_wstring(code);
  } else {
    text = L"still running";
  }
  if (process != nullptr) ::CloseHandle(process);
  struct Found {
    DWORD pid;
    std::wstring* text;
    static BOOL CALLBACK Add(HWND window, LPARAM data) {
      auto* f = reinterpret_cast<Found*>(data);
      if (ProcessOf(window) != f->pid) return TRUE;
      wchar_t name[64] = {};
      ::GetClassNameW(window, name, 64);
      *f->text += L"; window " + std::wstring(name) + L" \"" + WindowText(window) + L"\"" +
                  (::IsWindowVisible(window) ? L" visible" : L" hidden");
      return TRUE;
    }
  } found{pid, &text};
  ::EnumWindows(&Found::Add, reinterpret_cast<LPARAM>(&found));
  // What holds the screen now, in case another window took it.
  HWND foreground = ::GetForegroundWindow();
  wchar_t name[64] = {};
  ::GetClassNameW(foreground, name, 64);
  return text + L"; foreground " + name + L" of process " + std::to_wstring(ProcessOf(foreground));
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
  if (standIn.empty()) standIn = StandIn(sizeof(void*) * 8);
  const std::wstring real = Real(path);
  ::SetFileAttributesW(real.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::CopyFileW(standIn.c_str(), real.c_str(), FALSE);
  const HANDLE file =
      ::CreateFileW(real.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER end{};
  end.QuadPart = size;
  ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
  ::SetEndOfFile(file);
  ::CloseHandle(file);
}

HMODULE MapProgramCopy(const std::wstring& path) {
  std::string bytes = ReadFileText(ProgramPath());
  if (bytes.size() < 0x40) return nullptr;
  DWORD ntOffset = 0;
  std::memcpy(&ntOffset, bytes.data() + 0x3C, sizeof(ntOffset));
  const std::size_t characteristics = ntOffset + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
  if (characteristics + 2 > bytes.size()) return nullptr;
  bytes[characteristics + 1] = static_cast<char>(bytes[characteristics + 1] | (IMAGE_FILE_DLL >> 8));
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
}

void PlantFile(const std::wstring& path, DWORD size) {
  HANDLE file =
      ::CreateFileW(Real(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::vector<char> zeros(size, 0);
  DWORD written = 0;
  ::WriteFile(file, zeros.data(), size, &written, nullptr);
  ::CloseHandle(file);
}

void RemoveFile(const std::wstring& path) {
  ::SetFileAttributesW(Real(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(Real(path).c_str());
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(Real(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileText(const std::wstring& path) {
  HANDLE file = ::CreateFileW(Real(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  // The program's own view, when a 64-bit test program drives the 32-bit release.
  if (view == 0 && IsWow64() && sizeof(void*) == 8) view = KEY_WOW64_32KEY;
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

namespace {

// A 64-bit test program driving the 32-bit release: the machine its
// program's header names.
bool DrivesA32BitProgram() {
  static const bool drives = [] {
    if (sizeof(void*) == 4) return false;
    HANDLE file = ::CreateFileW(ProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char header[4096] = {};
    DWORD got = 0;
    ::ReadFile(file, header, sizeof(header), &got, nullptr);
    ::CloseHandle(file);
    DWORD ntOffset = 0;
    std::memcpy(&ntOffset, header + 0x3C, sizeof(ntOffset));
    WORD machine = 0;
    if (got < 0x40 || ntOffset + 6 > got) return false;
    std::memcpy(&machine, header + ntOffset + 4, sizeof(machine));
    return machine == IMAGE_FILE_MACHINE_I386;
  }();
  return drives;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsWow64() {
  BOOL wow64 = FALSE;
  return (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) || DrivesA32BitProgram();
}

std::wstring Real(const std::wstring& path) {
  if (!DrivesA32BitProgram()) return path;
  wchar_t dir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(dir, MAX_PATH);
  const std::wstring windows = dir;
  for (const auto& [from, to] :
       {std::pair<std::wstring, std::wstring>{L"\\System32\\", L"\\SysWOW64\\"}, {L"\\Sysnative\\", L"\\System32\\"}}) {
    if (StartsWith(path, windows + from)) return windows + to + path.substr(windows.size() + from.size());
  }
  return path;
}

std::wstring ThroughLinuxRoot(const std::wstring& path) {
  const char* prefix = std::getenv("WINEPREFIX");
  std::wstring linux = L"Z:";
  for (const char* c = prefix != nullptr ? prefix : ""; *c != '\0'; ++c) linux += *c == '/' ? L'\\' : wchar_t(*c);
  return linux + L"\\drive_c" + path.substr(2);
}

std::wstring StandIn(int bits) {
  wchar_t named[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(bits == 32 ? L"KOLVANE_STANDIN32" : L"KOLVANE_STANDIN64", named, MAX_PATH) > 0) {
    return named;
  }
  // Built beside the tests, wherever the program under test lies.
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path = self;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"threat_standin.exe";
}

}  // namespace e2e
