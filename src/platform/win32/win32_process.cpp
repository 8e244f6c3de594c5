#include "platform/win32/win32_platform.h"

#include <sddl.h>
#include <tlhelp32.h>

#include "platform/win32/loaded_function.h"
#include "platform/win32/program_image.h"
#include "platform/win32/unattended.h"
#include "platform/win32/win32_common.h"

namespace kolvane::win32 {
namespace {}  // namespace

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
  return QueryText([this](wchar_t* buffer, DWORD size) { return calls_.getModuleFileName(nullptr, buffer, size); });
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
    if (pid == ::GetCurrentProcessId() || !SameName(entry.szExeFile, name)) continue;
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
    if (named && !SameName(module.szExePath, image.c_str())) continue;
    // Windows keeps the file of a process that is ending until it has
    // ended: the deletion that follows must wait for that.
    all = named && process.is_valid() && calls_.terminateProcess(process.get(), 1) &&
          calls_.waitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0 && all;
  }
  return all;
}

bool Win32Process::ScreenSeen() {
  // Since Vista session 0 is nobody's screen: services, start-up scripts
  // and tasks run there and users log on to sessions of their own, also
  // where interactive services are allowed and its window station reads as
  // visible (and from Windows 10 1803 on nobody can switch to it at all).
  DWORD session = 0;
  if (LOBYTE(LOWORD(calls_.getVersion())) >= 6 && calls_.processIdToSessionId(::GetCurrentProcessId(), &session) &&
      session == 0) {
    return false;
  }
  // Elsewhere only a window station marked visible has a screen anybody
  // sees. One whose flags cannot be read is taken to have none: a box
  // nobody sees waits for ever, while a run that takes a screen for none
  // still does all its work, ends with its exit code and writes its record.
  USEROBJECTFLAGS flags{};
  const HWINSTA station = calls_.getProcessWindowStation();
  return station != nullptr && calls_.getUserObjectInformation(station, UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

LockResult Win32Process::LockMachine(unsigned milliseconds) {
  // One lock for every session: a start-up script, a deployment tool and a
  // user may all run the program at once. It is a file in the Windows
  // directory, where only administrators and the system may create files,
  // made with rights for them alone, opened by one run at a time (no
  // sharing) and gone with the handle that holds it, also when a run
  // crashes. A named kernel object would not do: any user may create one
  // in the global namespace first, with rights of their own, and hold it.
  const std::wstring path = LockPath();
  ScopedLocalMemory descriptor;
  if (path.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          L"D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, descriptor.receive(), nullptr)) {
    return LockResult::Failed;
  }
  SECURITY_ATTRIBUTES rights{sizeof(rights), descriptor.get(), FALSE};
  const DWORD start = ::GetTickCount();
  for (int denied = 0;;) {
    // Deleting it on close is all the access a lock needs.
    lock_.reset(calls_.createFile(path.c_str(), DELETE, 0, &rights, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (lock_.is_valid()) return LockResult::Held;
    const DWORD error = ::GetLastError();
    // The file of a run that has just let go reads as denied for the
    // moment it takes to go; a run without the rights is denied each time.
    if (error == ERROR_ACCESS_DENIED && ++denied == 3) return LockResult::NoRights;
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return LockResult::Failed;
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= milliseconds) return error == ERROR_SHARING_VIOLATION ? LockResult::Busy : LockResult::NoRights;
    const DWORD left = milliseconds - waited;
    ::Sleep(left < 50 ? left : 50);
  }
}

std::wstring Win32Process::LockPath() {
  // The system's own Windows directory, never a user's private one on a
  // terminal server.
  const std::wstring windows = QueryText(
      [](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(::GetSystemWindowsDirectoryW(buffer, size)); });
  return windows.empty() ? windows : windows + L"\\KolvaneBackdoorHeliosB.lock";
}

void Win32Process::UnlockMachine() { lock_.reset(); }

void Win32Process::SetUnattended() {
  g_unattended = true;
  // Nor may the system ask about a missing disk or a crash.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

void Win32Process::WriteEvent(unsigned id, EventType type, const wchar_t* const texts[4]) {
  // Without the rights to the log, or with the log service stopped, there
  // is no source and nothing to write.
  using RegisterFn = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
  using ReportFn = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
  const ScopedEventSource source(
      LoadedFunction<RegisterFn>(L"advapi32.dll", "RegisterEventSourceW")(nullptr, L"Kolvane"));
  if (!source.is_valid()) return;
  // Every record names the account that wrote it, so that a reader can
  // keep to SYSTEM's and tell them from what any user may write under the
  // same source. A record whose account cannot be read is still written.
  alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  PSID sid = nullptr;
  HANDLE token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    const ScopedKernelHandle owner(token);
    DWORD size = 0;
    if (::GetTokenInformation(token, TokenUser, user, sizeof(user), &size)) {
      sid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    }
  }
  constexpr WORD kinds[] = {EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE};
  const ReportFn report =
      calls_.reportEvent != nullptr ? calls_.reportEvent : LoadedFunction<ReportFn>(L"advapi32.dll", "ReportEventW");
  report(source.get(), kinds[static_cast<int>(type)], 0, id, sid, 4, 0, const_cast<LPCWSTR*>(texts), nullptr);
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
  // The program that runs, not whatever its path holds by now: its file is
  // checked and held, so that nobody can replace it, until the system has
  // started it.
  const std::wstring self = ModuleFileName();
  const ScopedFileHandle held = OpenCheckedProgramFile(self.c_str());
  if (!held.is_valid()) return RelaunchResult::Failed;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = self.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const ShellExecuteExFn shellExecuteEx = calls_.shellExecuteEx != nullptr
                                              ? calls_.shellExecuteEx
                                              : Function<ShellExecuteExFn>(L"shell32.dll", "ShellExecuteExW");
  if (shellExecuteEx == nullptr) return RelaunchResult::Failed;
  EnterApartmentOnce();
  if (shellExecuteEx(&info)) return RelaunchResult::Started;
  return ::GetLastError() == ERROR_CANCELLED ? RelaunchResult::Declined : RelaunchResult::Failed;
}

void Win32Process::EndProcess(int exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace kolvane::win32
