#include "platform/win32/win32_platform.h"

#include <cwchar>

#include "platform/win32/win32_common.h"

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

// The backup and restore privileges, which loading and unloading a hive
// need, enabled for as long as this lives where the token holds them; then
// as they were before.
class BackupPrivileges {
 public:
  explicit BackupPrivileges(const RegistryCalls& calls) : calls_(calls) {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.receive())) return;
    Privileges wanted{};
    wanted.count = 2;
    const wchar_t* const names[2] = {SE_BACKUP_NAME, SE_RESTORE_NAME};
    for (int i = 0; i < 2; ++i) {
      if (!::LookupPrivilegeValueW(nullptr, names[i], &wanted.privileges[i].Luid)) return;
      wanted.privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
    }
    DWORD size = sizeof(previous_);
    // The previous state holds only what this changed.
    adjusted_ = calls_.adjustTokenPrivileges(token_.get(), FALSE, wanted.get(), sizeof(previous_), previous_.get(),
                                             &size) != FALSE;
  }
  ~BackupPrivileges() {
    if (adjusted_ && previous_.count != 0) {
      calls_.adjustTokenPrivileges(token_.get(), FALSE, previous_.get(), 0, nullptr, nullptr);
    }
  }
  BackupPrivileges(const BackupPrivileges&) = delete;
  BackupPrivileges& operator=(const BackupPrivileges&) = delete;

 private:
  // TOKEN_PRIVILEGES with room for two.
  struct Privileges {
    DWORD count;
    LUID_AND_ATTRIBUTES privileges[2];
    TOKEN_PRIVILEGES* get() { return reinterpret_cast<TOKEN_PRIVILEGES*>(this); }
  };

  const RegistryCalls& calls_;
  ScopedKernelHandle token_;
  Privileges previous_{};
  bool adjusted_ = false;
};

RegStatus HiveStatusOf(LONG result) {
  return result == ERROR_PRIVILEGE_NOT_HELD ? RegStatus::AccessDenied
         : result == ERROR_SUCCESS          ? RegStatus::Ok
         : result == ERROR_ACCESS_DENIED    ? RegStatus::AccessDenied
                                            : RegStatus::Failed;
}

}  // namespace

RegStatus Win32Registry::LoadHive(const std::wstring& name, const std::wstring& file) {
  const BackupPrivileges privileges(calls_);
  return HiveStatusOf(calls_.regLoadKey(HKEY_LOCAL_MACHINE, name.c_str(), file.c_str()));
}

RegStatus Win32Registry::UnloadHive(const std::wstring& name) {
  const BackupPrivileges privileges(calls_);
  return HiveStatusOf(calls_.regUnLoadKey(HKEY_LOCAL_MACHINE, name.c_str()));
}

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

RegStatus Win32Registry::ReadString(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                    std::wstring& data) {
  ScopedRegKey key;
  const LONG opened =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | ViewOf(root), key.receive());
  if (opened != ERROR_SUCCESS) return StatusOf(opened);
  // The value may change between the question for its size and the read:
  // asked again with the size it has then.
  std::wstring text;
  DWORD type = REG_NONE;
  LONG result = ERROR_MORE_DATA;
  for (DWORD bytes = MAX_PATH * sizeof(wchar_t); result == ERROR_MORE_DATA;) {
    // Room for a terminator the stored text may lack.
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    result =
        ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes);
    if (result == ERROR_SUCCESS) text.resize(bytes / sizeof(wchar_t));
  }
  if (result != ERROR_SUCCESS) return StatusOf(result);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return RegStatus::Failed;
  // Up to the first terminator, as every reader takes the text.
  text.resize(std::wcslen(text.c_str()));
  if (type == REG_EXPAND_SZ) {
    text =
        QueryText([&](wchar_t* buffer, DWORD size) { return ::ExpandEnvironmentStringsW(text.c_str(), buffer, size); });
    // The count includes the terminator.
    if (!text.empty()) text.pop_back();
  }
  data = text;
  return RegStatus::Ok;
}

OpenedKey Win32Registry::Create(RegRoot root, const std::wstring& subKey) {
  ScopedRegKey key;
  const LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE | ViewOf(root), nullptr, key.receive(), nullptr);
  return Wrap(result, std::move(key));
}

}  // namespace kolvane::win32
