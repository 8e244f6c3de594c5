#include "platform/win32/win32_platform.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <cmath>

#include "platform/win32/loaded_function.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/unattended.h"

namespace kolvane::win32 {
namespace {

RegStatus StatusOf(LONG result) {
  switch (result) {
    case ERROR_SUCCESS:
      return RegStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return RegStatus::NotFound;
    case ERROR_ACCESS_DENIED:
      return RegStatus::AccessDenied;
    default:
      return RegStatus::Failed;
  }
}

// The 64-bit view is asked for by a flag on each open; 32-bit Windows has
// one view and ignores the flag.
REGSAM ViewOf(RegRoot root) { return root == RegRoot::LocalMachine64 ? KEY_WOW64_64KEY : 0; }

FileStatus FileStatusOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return FileStatus::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileStatus::InUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return FileStatus::Refused;
    default:
      return FileStatus::Failed;
  }
}

// What a failed open of path means. A directory does not open without
// backup semantics: it is not the file asked for.
FileStatus NotThereOr(const std::wstring& path, DWORD error) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FileStatus::NotFound;
  }
  return FileStatusOf(error);
}

// Enables a privilege in this process's token where the token holds it.
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

// Sets information on an open file. SetFileInformationByHandle (Vista and
// later) where it exists, else ntdll's NtSetInformationFile, which every
// Windows from XP has; the structures are laid out alike for both.
bool SetFileInformation(HANDLE file, int vistaClass, ULONG ntClass, void* data, DWORD size) {
  using SetInfoFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  if (const auto setInfo = LoadedFunction<SetInfoFn>(L"kernel32.dll", "SetFileInformationByHandle")) {
    return setInfo(file, vistaClass, data, size) != FALSE;
  }
  struct IoStatusBlock {
    union {
      LONG status;
      PVOID pointer;
    };
    ULONG_PTR information;
  };
  using NtSetInfoFn = LONG(WINAPI*)(HANDLE, IoStatusBlock*, PVOID, ULONG, int);
  const auto ntSetInfo = LoadedFunction<NtSetInfoFn>(L"ntdll.dll", "NtSetInformationFile");
  IoStatusBlock io{};
  return ntSetInfo != nullptr && ntSetInfo(file, &io, data, size, static_cast<int>(ntClass)) >= 0;
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(ScopedRegKey key) : key_(std::move(key)) {}

  RegStatus SetString(const std::wstring& valueName, const std::wstring& data) override {
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return StatusOf(
        ::RegSetValueExW(key_.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes));
  }

  RegStatus DeleteValue(const std::wstring& valueName) override {
    return StatusOf(::RegDeleteValueW(key_.get(), valueName.c_str()));
  }

 private:
  ScopedRegKey key_;
};

OpenedKey Wrap(LONG result, ScopedRegKey key) {
  if (result != ERROR_SUCCESS) return {StatusOf(result), nullptr};
  return {RegStatus::Ok, std::make_unique<Win32Key>(std::move(key))};
}

// Runs a query that fills a buffer and returns the count written, or the
// size needed (terminator included) when the buffer is too small.
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
    buffer.resize(count);
  }
}

// The shell and COM are loaded on first use, from the system directory only:
// most runs never open a web page, and the purge after a restart should not
// pay for loading them.
FARPROC SystemFunction(const wchar_t* dll, const char* name) {
  wchar_t dir[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(dir, length) + L"\\" + dll;
  HMODULE module = ::GetModuleHandleW(path.c_str());
  if (module == nullptr) module = ::LoadLibraryW(path.c_str());
  return module == nullptr ? nullptr : ::GetProcAddress(module, name);
}

template <typename Fn>
Fn Function(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// Shell handlers expect a single-threaded apartment on the calling thread;
// this is the program's one thread, so it is entered once and kept.
void EnterApartmentOnce() {
  static const bool entered = [] {
    using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
    const auto coInitializeEx = Function<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx");
    return coInitializeEx != nullptr &&
           SUCCEEDED(coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  }();
  (void)entered;
}

}  // namespace

OpenedKey Win32Registry::Open(RegRoot root, const std::wstring& subKey) {
  ScopedRegKey key;
  const LONG result =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_SET_VALUE | ViewOf(root), key.receive());
  return Wrap(result, std::move(key));
}

RegStatus Win32Registry::QueryValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) {
  ScopedRegKey key;
  const LONG opened =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | ViewOf(root), key.receive());
  if (opened != ERROR_SUCCESS) return StatusOf(opened);
  return StatusOf(::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr));
}

OpenedKey Win32Registry::Create(RegRoot root, const std::wstring& subKey) {
  ScopedRegKey key;
  const LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE | ViewOf(root), nullptr, key.receive(), nullptr);
  return Wrap(result, std::move(key));
}

FileStatus Win32Files::SizeOf(const std::wstring& path, std::uint64_t& size) {
  // Reading attributes needs no read access and passes any sharing mode, so
  // a file held open by a running program is still measured. Directories
  // do not open without FILE_FLAG_BACKUP_SEMANTICS.
  ScopedFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return NotThereOr(path, ::GetLastError());
  LARGE_INTEGER bytes{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &bytes) || bytes.QuadPart < 0) {
    return FileStatus::Failed;
  }
  size = static_cast<std::uint64_t>(bytes.QuadPart);
  return FileStatus::Ok;
}

FileStatus Win32Files::DeleteOfSize(const std::wstring& path, std::uint64_t size) {
  // Opened once, for everything that follows. A link is opened as itself,
  // never as what it points to; sharing is left to those who hold the file.
  ScopedFileHandle file(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.is_valid()) return NotThereOr(path, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) return FileStatus::Failed;
  const std::uint64_t actual = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      ::GetFileType(file.get()) != FILE_TYPE_DISK || actual != size) {
    return FileStatus::NotFound;
  }
  // Read-only refuses the deletion; hidden and system go with it. Times of
  // zero are left as they are.
  struct {
    LARGE_INTEGER times[4];
    DWORD attributes;
  } basic{{}, FILE_ATTRIBUTE_NORMAL};
  SetFileInformation(file.get(), 0 /* FileBasicInfo */, 4 /* FileBasicInformation */, &basic, sizeof(basic));
  // Having opened it for deletion, only a program running from it (Windows
  // refuses to delete a mapped image) can stop the deletion now.
  BOOLEAN dispose = TRUE;
  if (!SetFileInformation(file.get(), 4 /* FileDispositionInfo */, 13 /* FileDispositionInformation */, &dispose,
                          sizeof(dispose))) {
    return FileStatus::InUse;
  }
  return FileStatus::Ok;
}

bool Win32Files::Delete(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool Win32Files::DeleteAtRestart(const std::wstring& path, bool nativeView) {
  // The path goes into the list as written. For a 32-bit program System32
  // is redirected to SysWOW64; with the redirection off for this call the
  // path means what it will mean to the system at the restart.
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  using RevertFn = BOOL(WINAPI*)(PVOID);
  const auto disable = LoadedFunction<DisableFn>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  const auto revert = LoadedFunction<RevertFn>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
  PVOID redirection = nullptr;
  const bool off = nativeView && disable != nullptr && revert != nullptr && disable(&redirection);
  const bool scheduled = ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  if (off) revert(redirection);
  return scheduled;
}

void Win32Files::ClearAttributes(const std::wstring& path) {
  // Read-only, hidden and system go, and with them any other attribute: the
  // file is about to be deleted.
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool Win32Files::Move(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void Win32Files::HoldProgramFile(const std::wstring& path) {
  // Read sharing only: the file can be read and run, but not written,
  // renamed or deleted while this process lives.
  program_.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileStatus Win32Files::CopyHeldProgram(const std::wstring& to) {
  if (!program_.is_valid()) return FileStatus::Failed;
  // A copy an earlier run left read-only or hidden refuses to be replaced.
  ::SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  ScopedFileHandle copy(
      ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.is_valid()) return FileStatusOf(::GetLastError());
  LARGE_INTEGER start{};
  bool ok = ::SetFilePointerEx(program_.get(), start, nullptr, FILE_BEGIN) != FALSE;
  char buffer[4000];
  while (ok) {
    DWORD read = 0;
    DWORD written = 0;
    if (!::ReadFile(program_.get(), buffer, sizeof(buffer), &read, nullptr)) ok = false;
    if (!ok || read == 0) break;
    ok = ::WriteFile(copy.get(), buffer, read, &written, nullptr) && written == read;
  }
  copy.reset();
  if (!ok) {
    ::DeleteFileW(to.c_str());
    return FileStatus::Failed;
  }
  // The mark of a download would stop the copy at logon with a warning.
  ::DeleteFileW((to + L":Zone.Identifier").c_str());
  return FileStatus::Ok;
}

bool Win32Files::AppendLine(const std::wstring& path, const std::wstring& line) {
  // UTF-8, with a byte order mark at the start of a new file: Notepad on
  // Windows XP shows it right, and any computer name or path fits. Several
  // machines may append to one file on a share at the same time: each
  // writes alone (readers are welcome), and one that finds another writing
  // tries again for about two seconds. Alone, it can tell an empty file
  // from one another machine just began.
  ScopedFileHandle file;
  for (int attempt = 0;; ++attempt) {
    file.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.is_valid() || attempt == 40 || FileStatusOf(::GetLastError()) != FileStatus::InUse) break;
    ::Sleep(50);
  }
  if (!file.is_valid()) return false;
  const std::wstring text = line + L"\r\n";
  const int count = static_cast<int>(text.size());
  // Three bytes at most for each UTF-16 unit, and the mark.
  const std::unique_ptr<char[]> bytes(new char[3 * text.size() + 3]);
  LARGE_INTEGER size{};
  int n = ::GetFileSizeEx(file.get(), &size) && size.QuadPart == 0 ? 3 : 0;
  bytes[0] = '\xEF';
  bytes[1] = '\xBB';
  bytes[2] = '\xBF';
  n += ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), count, bytes.get() + n, 3 * count, nullptr, nullptr);
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.get(), static_cast<DWORD>(n), &written, nullptr) && written == DWORD(n);
}

std::wstring Win32Process::WindowsDirectory() {
  return QueryText(
      [](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(::GetWindowsDirectoryW(buffer, size)); });
}

std::wstring Win32Process::SystemDirectory() {
  return QueryText([](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(::GetSystemDirectoryW(buffer, size)); });
}

std::wstring Win32Process::CurrentDirectory() {
  return QueryText([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
}

std::wstring Win32Process::ModuleFileName() {
  // GetModuleFileNameW returns the buffer size when it had to cut the name.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD count = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (count == 0) return {};
    if (count < buffer.size()) {
      buffer.resize(count);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring Win32Process::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

LocalTime Win32Process::Now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  // Local time is UTC minus the bias in force.
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = ::GetTimeZoneInformation(&zone);
  const LONG bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                                 : kind == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                                 : 0);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, static_cast<int>(-bias)};
}

bool Win32Process::EndProcessesRunning(const std::wstring& image) {
  // A threat running as SYSTEM opens to an administrator only with the
  // debug privilege (SYSTEM itself holds it).
  EnablePrivilege(SE_DEBUG_NAME);
  // The program file of another process as the system names it (a 32-bit
  // caller sees a 64-bit program's System32). Vista and later tell it and
  // can ask less of the process than XP could; on XP a process's first
  // module is its program file.
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  const auto query = LoadedFunction<QueryFn>(L"kernel32.dll", "QueryFullProcessImageNameW");
  const DWORD access = (query != nullptr ? 0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */ : PROCESS_QUERY_INFORMATION) |
                       PROCESS_TERMINATE | SYNCHRONIZE;
  ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.is_valid()) return false;
  const wchar_t* name = image.c_str() + (image.rfind(L'\\') + 1);
  bool all = true;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    const DWORD pid = entry.th32ProcessID;
    if (pid == ::GetCurrentProcessId() || ::lstrcmpiW(entry.szExeFile, name) != 0) continue;
    ScopedKernelHandle process(::OpenProcess(access, FALSE, pid));
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    DWORD size = MAX_PATH;
    bool named = false;
    if (query != nullptr) {
      named = process.is_valid() && query(process.get(), 0, module.szExePath, &size);
    } else {
      ScopedFileHandle modules(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
      named = modules.is_valid() && ::Module32FirstW(modules.get(), &module);
    }
    if (named && ::lstrcmpiW(module.szExePath, image.c_str()) != 0) continue;
    all = named && process.is_valid() && ::TerminateProcess(process.get(), 1) &&
          ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0 && all;
  }
  return all;
}

void Win32Process::SetUnattended() {
  g_unattended = true;
  // Nor may the system ask about a missing disk or a crash.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

bool Win32Process::Is64BitWindows() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64Process = LoadedFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64Process != nullptr && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

std::wstring Win32Process::CommandLine() {
  const wchar_t* line = ::GetCommandLineW();
  return line == nullptr ? std::wstring() : std::wstring(line);
}

Elevation Win32Process::ElevationState() {
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.receive())) return Elevation::Elevated;
  // Before Vista these queries fail: there is nothing to elevate to.
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) ||
      elevation.TokenIsElevated != 0) {
    return Elevation::Elevated;
  }
  // A limited token means UAC is on and the user can approve elevation; a
  // standard user's default token can still be elevated with an
  // administrator's credentials while UAC is on.
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  if (!::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size)) return Elevation::Elevated;
  if (type == TokenElevationTypeLimited) return Elevation::CanBeElevated;
  ScopedRegKey policies;
  DWORD enableLua = 0;
  DWORD valueType = 0;
  DWORD bytes = sizeof(enableLua);
  const bool uac =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                      KEY_QUERY_VALUE, policies.receive()) == ERROR_SUCCESS &&
      ::RegQueryValueExW(policies.get(), L"EnableLUA", nullptr, &valueType, reinterpret_cast<BYTE*>(&enableLua),
                         &bytes) == ERROR_SUCCESS &&
      valueType == REG_DWORD && enableLua != 0;
  return uac ? Elevation::CanBeElevated : Elevation::Elevated;
}

RelaunchResult Win32Process::RelaunchElevated(const std::wstring& arguments) {
  const std::wstring self = ModuleFileName();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = self.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  const ShellExecuteExFn shellExecuteEx =
      shellExecuteEx_ != nullptr ? shellExecuteEx_ : Function<ShellExecuteExFn>(L"shell32.dll", "ShellExecuteExW");
  if (shellExecuteEx == nullptr) return RelaunchResult::Failed;
  EnterApartmentOnce();
  if (shellExecuteEx(&info)) return RelaunchResult::Started;
  return ::GetLastError() == ERROR_CANCELLED ? RelaunchResult::Declined : RelaunchResult::Failed;
}

void Win32Process::EndProcess(int exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

void Win32Dialogs::ShowMessage(const std::wstring& text) {
  HWND owner = owner_ != nullptr && ::IsWindow(owner_) ? owner_ : nullptr;
  ::MessageBoxW(owner, text.c_str(), title_.c_str(), MB_OK);
}

bool Win32Power::RequestRestart() {
  // The caller's token must have the shutdown privilege enabled, or the
  // request fails with ERROR_PRIVILEGE_NOT_HELD.
  EnablePrivilege(SE_SHUTDOWN_NAME);
  // Restart (0x0002) together with the 0x8000 bit the program has always passed.
  return exitWindows_(0x8002, 0) != FALSE;
}

void Win32Shell::OpenUrl(const std::wstring& url) {
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  const auto shellExecute = Function<ShellExecuteFn>(L"shell32.dll", "ShellExecuteW");
  if (shellExecute == nullptr) return;
  EnterApartmentOnce();
  shellExecute(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

double Win32EventClock::Now() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Win32EventClock::WaitForEvents(double maxSeconds) {
  const DWORD ms = maxSeconds <= 0.0 ? 0 : static_cast<DWORD>(std::ceil(maxSeconds * 1000.0));
  ::MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32EventClock::ProcessPendingEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quitSeen_ = true;
      quitCode_ = static_cast<int>(msg.wParam);
      continue;
    }
    Dispatch(msg);
  }
}

void Win32EventClock::Dispatch(MSG& msg) {
  if (dialog_ != nullptr && ::IsDialogMessageW(dialog_, &msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

}  // namespace kolvane::win32
