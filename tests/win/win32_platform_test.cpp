// The real Win32 layer against the registry and files of the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/module1.h"
#include "driver.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/program_image.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace kolvane::win32 {
namespace {

// A private key below HKLM\Software, removed before and after each test.
class RegistryTest : public ::testing::Test {
 protected:
  const std::wstring root = L"Software\\KolvaneTest";
  const std::wstring sub = root + L"\\Missing\\Parents";

  void SetUp() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str()); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str()); }

  // Reads a value straight from the registry: its type and text.
  bool Read(const std::wstring& key, const std::wstring& name, DWORD& type, std::wstring& data) {
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                       &bytes) != ERROR_SUCCESS) {
      return false;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, buffer.data(),
                       &bytes) != ERROR_SUCCESS) {
      return false;
    }
    data.assign(buffer.data());
    return true;
  }

  Win32Registry registry;
};

TEST_F(RegistryTest, CreateSetReplaceAndDelete) {
  {
    OpenedKey key = registry.Create(RegRoot::LocalMachine, sub);
    ASSERT_EQ(key.status, RegStatus::Ok);
    EXPECT_EQ(key.key->SetString(L"ssvchost", L"\"C:\\Program Files\\K\\k.exe\" C:\\x.exe"), RegStatus::Ok);
  }
  DWORD type = 0;
  std::wstring data;
  ASSERT_TRUE(Read(sub, L"ssvchost", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, L"\"C:\\Program Files\\K\\k.exe\" C:\\x.exe");

  OpenedKey key = registry.Open(RegRoot::LocalMachine, sub);
  ASSERT_EQ(key.status, RegStatus::Ok);
  EXPECT_EQ(key.key->DeleteValue(L"ssvchost"), RegStatus::Ok);
  EXPECT_FALSE(Read(sub, L"ssvchost", type, data));
  EXPECT_EQ(key.key->DeleteValue(L"ssvchost"), RegStatus::NotFound);
}

TEST_F(RegistryTest, QueryValueSaysWhetherTheValueIsThere) {
  ASSERT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"ssvchost", L""));
  EXPECT_EQ(registry.QueryValue(RegRoot::LocalMachine, sub, L"ssvchost"), RegStatus::Ok) << "an empty value is there";
  EXPECT_EQ(registry.QueryValue(RegRoot::LocalMachine, sub, L"other"), RegStatus::NotFound);
  EXPECT_EQ(registry.QueryValue(RegRoot::LocalMachine, root + L"\\Nowhere", L"ssvchost"), RegStatus::NotFound);
}

TEST_F(RegistryTest, ReadStringGivesTextValuesWithTheirVariablesExpanded) {
  ASSERT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"plain", L"C:\\Program Files\\K\\k.exe"));
  ScopedRegKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_SET_VALUE, key.receive()), ERROR_SUCCESS);
  const wchar_t expand[] = L"%SystemRoot%\\k.exe";
  ::RegSetValueExW(key.get(), L"expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof(expand));
  // Stored without its terminator, and longer than a path.
  const std::wstring longText(700, L'x');
  ::RegSetValueExW(key.get(), L"long", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.data()),
                   static_cast<DWORD>(longText.size() * sizeof(wchar_t)));
  const DWORD number = 1;
  ::RegSetValueExW(key.get(), L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  wchar_t windows[MAX_PATH];
  ASSERT_GT(::GetEnvironmentVariableW(L"SystemRoot", windows, MAX_PATH), 0u);

  std::wstring data = L"unchanged";
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, sub, L"plain", data), RegStatus::Ok);
  EXPECT_EQ(data, L"C:\\Program Files\\K\\k.exe");
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, sub, L"expand", data), RegStatus::Ok);
  EXPECT_EQ(data, std::wstring(windows) + L"\\k.exe");
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, sub, L"long", data), RegStatus::Ok);
  EXPECT_EQ(data, longText);
  data = L"unchanged";
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, sub, L"number", data), RegStatus::Failed);
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, sub, L"missing", data), RegStatus::NotFound);
  EXPECT_EQ(registry.ReadString(RegRoot::LocalMachine, root + L"\\Nowhere", L"plain", data), RegStatus::NotFound);
  EXPECT_EQ(data, L"unchanged");
}

// Whether the process token has both privileges that a hive needs
// enabled, as each request to load or unload one finds it.
bool BackupPrivilegesEnabled() {
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) return false;
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  int enabled = 0;
  for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    LUID luid{};
    ::LookupPrivilegeValueW(nullptr, name, &luid);
    for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& p = held->Privileges[i];
      if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart &&
          (p.Attributes & SE_PRIVILEGE_ENABLED) != 0) {
        ++enabled;
      }
    }
  }
  return enabled == 2;
}

// Enables or disables both, as the test needs them.
void SetBackupPrivileges(bool enabled) {
  ScopedKernelHandle token;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive()));
  for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    ASSERT_TRUE(::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid));
    ASSERT_TRUE(::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr));
  }
}

struct {
  std::vector<std::wstring> calls;
  LONG loadAnswer = -1;  // -1: the system's answer
} g_hive;

LONG WINAPI HiveLoad(HKEY root, LPCWSTR name, LPCWSTR file) {
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  g_hive.calls.push_back(std::wstring(L"load ") + name + L" " + file +
                         (BackupPrivilegesEnabled() ? L" with privileges" : L" without"));
  return g_hive.loadAnswer != -1 ? g_hive.loadAnswer : ::RegLoadKeyW(root, name, file);
}
LONG WINAPI HiveUnload(HKEY root, LPCWSTR name) {
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  g_hive.calls.push_back(std::wstring(L"unload ") + name +
                         (BackupPrivilegesEnabled() ? L" with privileges" : L" without"));
  return ::RegUnLoadKeyW(root, name);
}

TEST_F(RegistryTest, AHiveIsLoadedAndUnloadedWithTheBackupPrivilegesForThatTimeOnly) {
  // A SOFTWARE hive as Wine saves one (Wine loads only its own format),
  // with the threat's Run value.
  ASSERT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub + L"\\Microsoft\\Windows\\CurrentVersion\\Run",
                             L"ssvchost", L"C:\\Windows\\System32\\ssvchost.exe"));
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring file = std::wstring(temp) + L"kolvane-hive-" + std::to_wstring(::GetCurrentProcessId());
  ::DeleteFileW(file.c_str());
  {
    SetBackupPrivileges(true);
    ScopedRegKey saved;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ, saved.receive()), ERROR_SUCCESS);
    ASSERT_EQ(::RegSaveKeyW(saved.get(), file.c_str(), nullptr), ERROR_SUCCESS);
  }
  // Off, as in a process that never asked for them.
  SetBackupPrivileges(false);
  ASSERT_FALSE(BackupPrivilegesEnabled());
  const bool before = false;
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"KolvaneTestHive");
  g_hive = {};
  Win32Registry hives(RegistryCalls{.regLoadKey = &HiveLoad, .regUnLoadKey = &HiveUnload});
  const std::wstring name = L"KolvaneTestHive";
  ASSERT_EQ(hives.LoadHive(name, file), RegStatus::Ok);
  EXPECT_EQ(BackupPrivilegesEnabled(), before) << "the privileges stay enabled after the load";
  EXPECT_EQ(hives.QueryValue(RegRoot::LocalMachine, name + L"\\Microsoft\\Windows\\CurrentVersion\\Run", L"ssvchost"),
            RegStatus::Ok);
  // The name is taken while it is loaded.
  EXPECT_EQ(hives.LoadHive(name, file), RegStatus::Failed);
  EXPECT_EQ(hives.UnloadHive(name), RegStatus::Ok);
  EXPECT_EQ(BackupPrivilegesEnabled(), before);
  HKEY gone = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(g_hive.calls, (std::vector<std::wstring>{L"load " + name + L" " + file + L" with privileges",
                                                     L"load " + name + L" " + file + L" with privileges",
                                                     L"unload " + name + L" with privileges"}));
  // What cannot be loaded: no hive, no file, no rights (the privilege not
  // held is a refusal, as access denied is).
  const std::wstring notHive = file + L".txt";
  std::ofstream(std::string(notHive.begin(), notHive.end())) << "no hive";
  // Wine leaves an empty key by the name after a load that failed, which
  // Windows does not; it would take the name from the next load.
  for (const std::wstring& bad : {notHive, file + L".missing"}) {
    EXPECT_EQ(hives.LoadHive(name, bad), RegStatus::Failed);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, name.c_str());
  }
  for (const LONG refusal : {ERROR_PRIVILEGE_NOT_HELD, ERROR_ACCESS_DENIED}) {
    g_hive.loadAnswer = refusal;
    EXPECT_EQ(hives.LoadHive(name, file), RegStatus::AccessDenied);
  }
  g_hive.loadAnswer = ERROR_SHARING_VIOLATION;
  EXPECT_EQ(hives.LoadHive(name, file), RegStatus::Failed) << "a hive in use";
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  ::DeleteFileW(file.c_str());
  ::DeleteFileW(notHive.c_str());
}

TEST_F(RegistryTest, OpeningAMissingKeyIsNotFound) {
  const OpenedKey key = registry.Open(RegRoot::LocalMachine, root + L"\\Nowhere");
  EXPECT_EQ(key.status, RegStatus::NotFound);
  EXPECT_EQ(key.key, nullptr);
  // Open never creates.
  HKEY probe = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (root + L"\\Nowhere").c_str(), 0, KEY_READ, &probe),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, WriteRegStringCreatesReplacesAndStoresEmpty) {
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"v", L"first"));
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"v", L"second"));
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"empty", L""));
  DWORD type = 0;
  std::wstring data;
  ASSERT_TRUE(Read(sub, L"v", type, data));
  EXPECT_EQ(data, L"second");
  ASSERT_TRUE(Read(sub, L"empty", type, data)) << "an empty text is a value that exists";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, L"");
}

TEST_F(RegistryTest, TextOutsideTheAnsiCodePageSurvives) {
  const std::wstring text = L"C:\\Pengguna\\\u0411\u043e\u0440\u0438\u0441\\\u6771\u4eac.exe";
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, sub, L"w", text));
  DWORD type = 0;
  std::wstring data;
  ASSERT_TRUE(Read(sub, L"w", type, data));
  EXPECT_EQ(data, text);
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    dir = std::wstring(temp) + L"kolvane-files-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    for (const auto& path : made) ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(dir.c_str());
  }

  std::wstring Make(const std::wstring& name, std::size_t size) {
    const std::wstring path = dir + L"\\" + name;
    ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.is_valid());
    const std::vector<char> zeros(size, 0);
    DWORD written = 0;
    if (size > 0) {
      EXPECT_TRUE(::WriteFile(file.get(), zeros.data(), static_cast<DWORD>(size), &written, nullptr));
    }
    made.push_back(path);
    return path;
  }

  std::wstring dir;
  std::vector<std::wstring> made;
  Win32Files files;
};

TEST_F(FilesTest, SizeOfFilesDirectoriesAndMissingPaths) {
  const auto size = [&](const std::wstring& path) {
    std::uint64_t bytes = 7;
    const FileStatus status = files.SizeOf(path, bytes);
    return status == FileStatus::Ok ? std::to_wstring(bytes) : L"status " + std::to_wstring(static_cast<int>(status));
  };
  EXPECT_EQ(size(Make(L"ssvchost.exe", 110592)), L"110592");
  EXPECT_EQ(size(Make(L"empty.bin", 0)), L"0");
  const std::wstring absent = L"status " + std::to_wstring(static_cast<int>(FileStatus::NotFound));
  EXPECT_EQ(size(dir), absent) << "a directory is no file";
  EXPECT_EQ(size(dir + L"\\absent.exe"), absent);
  EXPECT_EQ(size(dir + L"\\no\\such\\folder\\x.exe"), absent);
}

TEST_F(FilesTest, SizeOfAFileHeldOpenWithoutSharing) {
  const std::wstring path = Make(L"ssvchost.exe", 110592);
  ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.is_valid());
  std::uint64_t size = 0;
  EXPECT_EQ(files.SizeOf(path, size), FileStatus::Ok);
  EXPECT_EQ(size, 110592u);
  EXPECT_FALSE(files.Delete(path)) << "a file in use without delete sharing stays";
}

TEST_F(FilesTest, DeleteReportsWhatHappened) {
  const std::wstring path = Make(L"ssvchost.exe", 110592);
  EXPECT_TRUE(files.Delete(path));
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(files.Delete(path));
  EXPECT_FALSE(files.Delete(dir)) << "a directory is not deleted";
  EXPECT_NE(::GetFileAttributesW(dir.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, DeleteTakesWildcardsLiterally) {
  const std::wstring keep = Make(L"keep.exe", 10);
  EXPECT_FALSE(files.Delete(dir + L"\\*.exe"));
  EXPECT_NE(::GetFileAttributesW(keep.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RegistryTest, TheSixtyFourBitViewIsAskedForOnEachOpen) {
  // A 32-bit program on 64-bit Windows writes Software into a view of its
  // own; the other view of HKLM\Software is reached by a flag.
  ASSERT_TRUE(WriteRegString(registry, RegRoot::LocalMachine64, sub, L"v", L"64"));
  const auto seen = [&](REGSAM view) {
    HKEY key = nullptr;
    const bool found = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_QUERY_VALUE | view, &key) == 0;
    if (key != nullptr) ::RegCloseKey(key);
    return found;
  };
  EXPECT_TRUE(seen(KEY_WOW64_64KEY));
  EXPECT_FALSE(seen(KEY_WOW64_32KEY));
  EXPECT_EQ(registry.Open(RegRoot::LocalMachine64, sub).key->DeleteValue(L"v"), RegStatus::Ok);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), KEY_WOW64_64KEY, 0);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (root + L"\\Missing").c_str(), KEY_WOW64_64KEY, 0);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, root.c_str(), KEY_WOW64_64KEY, 0);
}

TEST_F(FilesTest, AHeldFileIsMeasuredBeforeAnythingIsDoneToIt) {
  // Any user may hold a file in System32 without sharing its deletion. Only
  // the threat is made ready for the deletion at the restart; anything else
  // keeps every attribute it had.
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (const DWORD size : {30u, 110592u}) {
    SCOPED_TRACE(size);
    const std::wstring path = Make(L"held.exe", size);
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), kHiddenSystem));
    ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.is_valid());
    const bool threat = size == 110592;
    EXPECT_EQ(files.DeleteOfSize(path, 110592), threat ? FileStatus::InUse : FileStatus::NotFound);
    EXPECT_EQ(::GetFileAttributesW(path.c_str()) & kHiddenSystem, threat ? 0u : kHiddenSystem);
    holder.reset();
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
  }
}

TEST_F(FilesTest, DeleteOfSizeChecksAndDeletesOneOpenFile) {
  // What a threat deletion meets, and what it must say of it.
  const std::wstring threat = Make(L"ssvchost.exe", 110592);
  const std::wstring other = Make(L"other.exe", 110591);
  ASSERT_TRUE(
      ::SetFileAttributesW(threat.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(files.DeleteOfSize(other, 110592), FileStatus::NotFound) << "another size";
  EXPECT_EQ(files.DeleteOfSize(dir, 0), FileStatus::NotFound) << "a directory";
  EXPECT_EQ(files.DeleteOfSize(dir + L"\\absent.exe", 110592), FileStatus::NotFound);
  EXPECT_EQ(files.DeleteOfSize(dir + L"\\*.exe", 110592), FileStatus::NotFound);
  EXPECT_NE(::GetFileAttributesW(other.c_str()), INVALID_FILE_ATTRIBUTES);
  {
    // Held the way a running program holds its file: no delete sharing.
    ScopedFileHandle holder(::CreateFileW(threat.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.is_valid());
    EXPECT_EQ(files.DeleteOfSize(threat, 110592), FileStatus::InUse);
  }
  EXPECT_EQ(files.DeleteOfSize(threat, 110592), FileStatus::Ok) << "read-only, hidden and system";
  EXPECT_EQ(::GetFileAttributesW(threat.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The requests themselves, where Wine does not behave as Windows does: it
// follows a Unix link whatever the flags say, and lists a path for the
// restart as written whatever the redirection.
struct {
  std::vector<std::wstring> calls;
  std::vector<DWORD> openFlags;
} g_files;

HANDLE WINAPI RecordCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE from) {
  g_files.openFlags.push_back(flags);
  return ::CreateFileW(path, access, share, security, disposition, flags, from);
}
BOOL WINAPI RecordMoveFileEx(LPCWSTR from, LPCWSTR, DWORD) {
  g_files.calls.push_back(L"schedule " + std::wstring(from));
  return TRUE;
}
BOOL WINAPI RecordDisable(PVOID* old) {
  *old = reinterpret_cast<PVOID>(42);
  g_files.calls.push_back(L"redirection off");
  return TRUE;
}
BOOL WINAPI RecordRevert(PVOID old) {
  g_files.calls.push_back(old == reinterpret_cast<PVOID>(42) ? L"redirection back" : L"redirection back: wrong");
  return TRUE;
}

TEST_F(FilesTest, NoRequestFollowsALinkAndTheSixtyFourBitHalfIsScheduledUnredirected) {
  g_files = {};
  Win32Files recorded({&RecordCreateFile, &RecordMoveFileEx, &RecordDisable, &RecordRevert});
  const std::wstring threat = Make(L"ssvchost.exe", 110592);
  std::uint64_t size = 0;
  EXPECT_EQ(recorded.SizeOf(threat, size), FileStatus::Ok);
  {
    ScopedFileHandle holder(::CreateFileW(threat.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(recorded.DeleteOfSize(threat, 110592), FileStatus::InUse);
  }
  EXPECT_EQ(recorded.DeleteOfSize(threat, 110592), FileStatus::Ok);
  EXPECT_TRUE(recorded.AppendLine(dir + L"\\log.txt", L"x"));
  made.push_back(dir + L"\\log.txt");
  ASSERT_EQ(g_files.openFlags.size(), 5u) << "measure; delete refused, measure; delete; log";
  for (const DWORD flags : g_files.openFlags) EXPECT_NE(flags & FILE_FLAG_OPEN_REPARSE_POINT, 0u);

  EXPECT_TRUE(recorded.DeleteAtRestart(L"C:\\windows\\SysWOW64\\ssvchost.exe", false));
  EXPECT_TRUE(recorded.DeleteAtRestart(L"C:\\windows\\System32\\ssvchost.exe", true));
  EXPECT_EQ(g_files.calls,
            (std::vector<std::wstring>{L"schedule C:\\windows\\SysWOW64\\ssvchost.exe", L"redirection off",
                                       L"schedule C:\\windows\\System32\\ssvchost.exe", L"redirection back"}));
}

TEST_F(FilesTest, ALogThatIsALinkIsNotWritten) {
  // A second name for a file the run must not touch, where anybody may write.
  const std::wstring other = Make(L"other.ini", 0);
  const std::wstring link = dir + L"\\kolvane.log";
  ASSERT_TRUE(::CreateHardLinkW(link.c_str(), other.c_str(), nullptr));
  made.push_back(link);
  EXPECT_FALSE(files.AppendLine(link, L"line"));
  EXPECT_EQ(e2e::ReadFileText(other), "");
}

// What the log's checks are told, for the links Wine cannot make: a folder
// that reads as a junction, a file that reads as a reparse point, an open
// file that lies elsewhere than its path says.
struct {
  std::wstring linkedFolder;
  bool fileIsLink = false;
  std::wstring finalPath;
  std::vector<std::wstring> opened;
  std::vector<DWORD> shares;
} g_log;

DWORD WINAPI LogAttributes(LPCWSTR path) {
  return SameName(path, g_log.linkedFolder.c_str()) ? FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY
                                                    : ::GetFileAttributesW(path);
}
BOOL WINAPI LogInformation(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info) {
  const BOOL ok = ::GetFileInformationByHandle(file, info);
  if (g_log.fileIsLink) info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return ok;
}
DWORD WINAPI LogFinalPath(HANDLE file, LPWSTR buffer, DWORD size, DWORD flags) {
  if (g_log.finalPath.empty()) return ::GetFinalPathNameByHandleW(file, buffer, size, flags);
  if (g_log.finalPath.size() >= size) return static_cast<DWORD>(g_log.finalPath.size() + 1);
  ::lstrcpyW(buffer, g_log.finalPath.c_str());
  return static_cast<DWORD>(g_log.finalPath.size());
}
HANDLE WINAPI LogOpen(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                      DWORD flags, HANDLE from) {
  g_log.opened.push_back(path);
  g_log.shares.push_back(share);
  return ::CreateFileW(path, access, share, security, disposition, flags, from);
}

TEST_F(FilesTest, ALogIsWrittenOnlyWhereItsPathLeads) {
  g_log = {};
  Win32Files files(FileCalls{.createFile = &LogOpen,
                             .getFileAttributes = &LogAttributes,
                             .getFileInformation = &LogInformation,
                             .getFinalPathName = &LogFinalPath});
  // A plain folder, named in any of the forms that lead there.
  const std::wstring plain = dir + L"\\plain.log";
  made.push_back(plain);
  const std::wstring name = dir.substr(dir.rfind(L'\\') + 1);
  std::wstring shortDir(MAX_PATH, L'\0');
  shortDir.resize(::GetShortPathNameW(dir.c_str(), shortDir.data(), MAX_PATH));
  for (const std::wstring& path :
       {plain, dir + L"\\..\\" + name + L"\\plain.log", L"\\\\?\\" + plain, shortDir + L"\\plain.log"}) {
    EXPECT_TRUE(files.AppendLine(path, L"line")) << std::string(path.begin(), path.end());
  }
  EXPECT_EQ(e2e::ReadFileText(plain), "\xEF\xBB\xBFline\r\nline\r\nline\r\nline\r\n");
  // Other writers wait their turn.
  for (const DWORD share : g_log.shares) EXPECT_EQ(share, static_cast<DWORD>(FILE_SHARE_READ));

  // A folder on the way that is a link: nothing is created there.
  const std::wstring linked = dir + L"\\linked";
  ASSERT_TRUE(::CreateDirectoryW(linked.c_str(), nullptr));
  g_log = {};
  g_log.linkedFolder = linked;
  EXPECT_FALSE(files.AppendLine(linked + L"\\x.dll", L"line"));
  EXPECT_TRUE(g_log.opened.empty());
  EXPECT_FALSE(e2e::FileExists(linked + L"\\x.dll"));
  ::RemoveDirectoryW(linked.c_str());

  // The file itself a link, or an open file that lies elsewhere (a folder
  // made a link after it was looked at): not a byte is written.
  const std::wstring other = Make(L"other.cmd", 0);
  g_log = {};
  g_log.fileIsLink = true;
  EXPECT_FALSE(files.AppendLine(other, L"line"));
  g_log = {};
  g_log.finalPath = L"\\\\?\\C:\\windows\\system32\\other.cmd";
  EXPECT_FALSE(files.AppendLine(other, L"line"));
  EXPECT_EQ(e2e::ReadFileText(other), "");

  // Devices are no log.
  for (const wchar_t* device : {L"CON", L"NUL", L"\\\\.\\pipe\\kolvane", L"\\\\.\\C:"}) {
    EXPECT_FALSE(files.AppendLine(device, L"line")) << device;
  }
}

// The rights Windows gives, as its security descriptors' text: a file an
// administrator copied into Program Files, that folder, the folders above
// it and the root of the system drive. The tests change one and see
// whether the file is still trusted.
const wchar_t kInstalledFile[] = L"O:BAD:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1200a9;;;AC)";
const wchar_t kInstalledFolder[] =
    L"O:SYD:(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)(A;OICIIOID;GA;;;CO)";
const wchar_t kProgramFiles[] =
    L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    L"D:(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
    L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)";
const wchar_t kRoot[] =
    L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";

struct Trust {
  std::wstring file, folder, above;  // the descriptors at each level
  UINT drive = DRIVE_FIXED;
  DWORD error = ERROR_SUCCESS;  // what the question for the rights gives
  std::wstring linkedFolder;
  std::vector<std::wstring> asked;
} g_trust;

// Program Files as Windows has it, but for what a row changes.
void TrustAsInstalled(UINT drive = DRIVE_FIXED) {
  g_trust = Trust{};
  g_trust.file = kInstalledFile;
  g_trust.folder = kInstalledFolder;
  g_trust.above = kProgramFiles;
  g_trust.drive = drive;
}

DWORD WINAPI TrustDescriptor(LPCWSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION, PSID* owner, PSID*, PACL* dacl,
                             PACL*, PSECURITY_DESCRIPTOR* descriptor) {
  EXPECT_EQ(type, SE_FILE_OBJECT);
  g_trust.asked.push_back(path);
  if (g_trust.error != ERROR_SUCCESS) return g_trust.error;
  // The first name asked is the file's, the second its folder's.
  const std::size_t level = g_trust.asked.size() - 1;
  const std::wstring text = level == 0                       ? g_trust.file
                            : level == 1                     ? g_trust.folder
                            : std::wstring(path).size() == 3 ? kRoot
                                                             : g_trust.above;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, descriptor, nullptr)) {
    ADD_FAILURE() << "not a descriptor: " << std::string(text.begin(), text.end());
    return ::GetLastError();
  }
  BOOL present = FALSE, defaulted = FALSE;
  ::GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
  ::GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
  // Wine's parser makes an empty list of NO_ACCESS_CONTROL; Windows' makes
  // none at all, which lets everybody do anything.
  if (text.ends_with(L"NO_ACCESS_CONTROL")) *dacl = nullptr;
  return ERROR_SUCCESS;
}
UINT WINAPI TrustDrive(LPCWSTR root) {
  EXPECT_EQ(std::wstring(root).size(), 3u);
  return g_trust.drive;
}
DWORD WINAPI TrustAttributes(LPCWSTR path) {
  return SameName(path, g_trust.linkedFolder.c_str()) ? FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY
                                                      : ::GetFileAttributesW(path);
}

TEST_F(FilesTest, OnlyAFileNobodyButAdministratorsCanChangeIsTrustedWithTheRecordsTexts) {
  Win32Files trust(FileCalls{
      .getFileAttributes = &TrustAttributes, .getNamedSecurityInfo = &TrustDescriptor, .getDriveType = &TrustDrive});
  const std::wstring program = Make(L"KolvaneBackdoorHeliosB.exe", 16);
  const std::wstring user = L"S-1-5-21-1004336348-1177238915-682003330-1001";
  const struct {
    const char* name;
    std::wstring file, folder, above;
    bool trusted;
    UINT drive = DRIVE_FIXED;
  } cases[] = {
      {"copied into Program Files", kInstalledFile, kInstalledFolder, kProgramFiles, true},
      {"a user's Downloads", kInstalledFile,
       L"O:" + user + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + L")", kProgramFiles, false},
      {"a folder every user may write (Wine's 0777)", kInstalledFile,
       L"O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;WD)", kProgramFiles, false},
      {"a folder users may only add files to", kInstalledFile, L"O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200ab;;;BU)",
       kProgramFiles, false},
      {"a folder owned by a user", kInstalledFile, L"O:" + user + L"D:(A;;FA;;;SY)(A;;FA;;;BA)", kProgramFiles, false},
      {"the file owned by a user", L"O:" + user + L"D:(A;;FA;;;SY)", kInstalledFolder, kProgramFiles, false},
      {"the file writable by users", L"O:BAD:(A;;FA;;;SY)(A;;GW;;;BU)", kInstalledFolder, kProgramFiles, false},
      {"the file with no permissions at all", L"O:BAD:NO_ACCESS_CONTROL", kInstalledFolder, kProgramFiles, false},
      {"a folder above lets users rename what it holds", kInstalledFile, kInstalledFolder,
       L"O:SYD:(A;;FA;;;SY)(A;;0x1200e9;;;BU)", false},
      {"a folder above lets users take its ownership", kInstalledFile, kInstalledFolder,
       L"O:SYD:(A;;FA;;;SY)(A;;0x1200a9;;;BU)(A;;WO;;;AU)", false},
      {"a folder above lets users make folders in it", kInstalledFile, kInstalledFolder,
       L"O:SYD:(A;;FA;;;SY)(A;;0x1200ad;;;BU)", true},
      {"rights that only pass to what is made inside", kInstalledFile,
       L"O:BAD:(A;;FA;;;SY)(A;OICIIO;FA;;;" + user + L")(A;OICIIO;GA;;;CO)", kProgramFiles, true},
      {"a denial, and OWNER RIGHTS for a trusted owner", L"O:SYD:(D;;FA;;;WD)(A;;FA;;;S-1-3-4)(A;;FA;;;BA)",
       kInstalledFolder, kProgramFiles, true},
      {"a USB stick", kInstalledFile, kInstalledFolder, kProgramFiles, false, DRIVE_REMOVABLE},
      {"a share under a drive letter", kInstalledFile, kInstalledFolder, kProgramFiles, false, DRIVE_REMOTE},
      {"a CD", kInstalledFile, kInstalledFolder, kProgramFiles, false, DRIVE_CDROM},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TrustAsInstalled(c.drive);
    g_trust.file = c.file;
    g_trust.folder = c.folder;
    g_trust.above = c.above;
    EXPECT_EQ(trust.OnlyAdministratorsMayChange(program), c.trusted);
    if (c.trusted) {
      // The file, then every folder up to the root.
      ASSERT_FALSE(g_trust.asked.empty());
      EXPECT_EQ(g_trust.asked.front(), program);
      EXPECT_EQ(g_trust.asked.back(), program.substr(0, 3));
      EXPECT_EQ(static_cast<std::size_t>(std::count(program.begin(), program.end(), L'\\')) + 1, g_trust.asked.size());
    }
  }
  // What cannot be told is not trusted: rights that cannot be read, a
  // folder on the way that is a link, no such file, a folder for a file,
  // and a path that is not a full one of a drive letter.
  TrustAsInstalled();
  EXPECT_TRUE(trust.OnlyAdministratorsMayChange(program)) << "the rows below change only what they name";
  TrustAsInstalled();
  g_trust.error = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(trust.OnlyAdministratorsMayChange(program));
  TrustAsInstalled();
  g_trust.linkedFolder = dir;
  EXPECT_FALSE(trust.OnlyAdministratorsMayChange(program));
  TrustAsInstalled();
  const std::wstring name = dir.substr(dir.rfind(L'\\') + 1);
  for (const std::wstring& path :
       std::vector<std::wstring>{dir + L"\\missing.exe", dir, dir + L"\\..\\" + name + L"\\KolvaneBackdoorHeliosB.exe",
                                 L"\\\\?\\" + program, L"KolvaneBackdoorHeliosB.exe", L"\\\\srv\\tools\\k.exe"}) {
    EXPECT_FALSE(trust.OnlyAdministratorsMayChange(path)) << std::string(path.begin(), path.end());
  }
  // Wine makes a folder's rights of its Unix mode, with the Wine user as
  // the owner of every one: nothing there is only administrators' to change.
  EXPECT_FALSE(files.OnlyAdministratorsMayChange(program));
}

TEST_F(FilesTest, AFolderIsTheSameByWhateverNameLeadsToIt) {
  wchar_t windows[MAX_PATH] = {};
  ASSERT_GT(::GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::wstring w = windows;
  std::wstring shortName(MAX_PATH, L'\0');
  shortName.resize(::GetShortPathNameW(dir.c_str(), shortName.data(), MAX_PATH));
  const std::wstring linux = e2e::ThroughLinuxRoot(w);
  for (const std::wstring& other : {w, w + L"\\", w + L"\\.", L"\\\\?\\" + w, w + L"\\system32\\..", linux}) {
    EXPECT_TRUE(files.SameFolder(w, other)) << std::string(other.begin(), other.end());
  }
  EXPECT_TRUE(files.SameFolder(dir, shortName));
  const std::wstring program = Make(L"program.exe", 16);
  for (const std::wstring& other : {w + L"\\system32", dir, program, w + L"\\missing", std::wstring()}) {
    EXPECT_FALSE(files.SameFolder(w, other)) << std::string(other.begin(), other.end());
  }
  EXPECT_FALSE(files.SameFolder(program, program)) << "a file is no folder";
  EXPECT_TRUE(files.IsFolder(dir));
  EXPECT_FALSE(files.IsFolder(program));
  EXPECT_FALSE(files.IsFolder(dir + L"\\missing"));
}

// A running program's file, which Windows refuses to write or delete.
HANDLE WINAPI RunningCopy(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE from) {
  if (std::wstring(path).ends_with(L"running.exe")) {
    ::SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(path, access, share, security, disposition, flags, from);
}
BOOL WINAPI RunningImageDisposition(HANDLE file, int kind, LPVOID data, DWORD size) {
  if (kind == 4 /* FileDispositionInfo */) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kind), data, size);
}

TEST_F(FilesTest, ARunningProgramsFileIsLeftForTheRestartAndCopiedOverOnlyOnceMoved) {
  Win32Files files(FileCalls{.createFile = &RunningCopy, .setFileInformation = &RunningImageDisposition});
  const std::wstring threat = Make(L"ssvchost.exe", 110592);
  ASSERT_TRUE(::SetFileAttributesW(threat.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(files.DeleteOfSize(threat, 110592), FileStatus::InUse) << "for the restart, not a failure";
  EXPECT_TRUE(e2e::FileExists(threat));
  EXPECT_EQ(::GetFileAttributesW(threat.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "ready for the restart";

  // A name of its own: the file checked last stays open until another is.
  const std::wstring program = dir + L"\\running program.exe";
  made.push_back(program);
  const HMODULE image = e2e::MapProgramCopy(program);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(CheckProgramFile(program.c_str(), image));
  files.HoldProgramFile(program);
  EXPECT_EQ(files.CopyHeldProgram(Make(L"running.exe", 7)), FileStatus::InUse);
  files = Win32Files();
  ::FreeLibrary(image);
}

TEST_F(FilesTest, TheHeldProgramCannotBeReplacedAndIsCopiedOverAnyOldCopy) {
  const std::wstring program = dir + L"\\program.exe";
  made.push_back(program);
  const HMODULE image = e2e::MapProgramCopy(program);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(CheckProgramFile(program.c_str(), image));
  const std::uint64_t programSize = e2e::ReadFileText(program).size();
  const std::wstring to = Make(L"copy.exe", 7);
  EXPECT_EQ(files.CopyHeldProgram(to), FileStatus::Failed) << "nothing held";
  files.HoldProgramFile(program);
  // The user who started it can no longer rename it, delete it or write it.
  EXPECT_FALSE(::MoveFileW(program.c_str(), (dir + L"\\renamed.exe").c_str()));
  EXPECT_FALSE(::DeleteFileW(program.c_str()));
  EXPECT_EQ(::CreateFileW(program.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  // An earlier run's copy, left read-only and hidden, is replaced.
  ASSERT_TRUE(::SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(files.CopyHeldProgram(to), FileStatus::Ok);
  std::uint64_t size = 0;
  EXPECT_EQ(files.SizeOf(to, size), FileStatus::Ok);
  EXPECT_EQ(size, programSize);
  EXPECT_EQ(::GetFileAttributesW(to.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_EQ(files.CopyHeldProgram(dir + L"\\no\\such\\folder\\copy.exe"), FileStatus::NotFound);
  files = Win32Files();
  ::FreeLibrary(image);
  EXPECT_TRUE(::DeleteFileW(program.c_str())) << "let go with the process";
}

TEST_F(FilesTest, LogLinesAreUtf8WithOneMarkAtTheStart) {
  const std::wstring path = dir + L"\\kolvane log.txt";
  made.push_back(path);
  EXPECT_TRUE(files.AppendLine(path, L"2026-12-08 09:05:07\tPC-\x0416\t/scan\ttidak ditemukan\t0"));
  EXPECT_TRUE(files.AppendLine(path, L"second"));
  EXPECT_EQ(e2e::ReadFileText(path),
            "\xEF\xBB\xBF"
            "2026-12-08 09:05:07\tPC-\xD0\x96\t/scan\ttidak ditemukan\t0\r\nsecond\r\n");
  EXPECT_FALSE(files.AppendLine(dir + L"\\no\\such\\folder\\k.log", L"x"));
}

TEST_F(FilesTest, LogLinesGetInBesideReadersAndAfterAnotherWriter) {
  // Machines that append to one file on a share: someone reading it the
  // whole time, another machine writing it for a moment, and two at once
  // starting the file, of which only one writes the mark.
  const std::wstring path = dir + L"\\shared.log";
  made.push_back(path);
  ScopedFileHandle reader(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(reader.is_valid());
  EXPECT_TRUE(files.AppendLine(path, L"one"));
  HANDLE writer = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  struct Writer {
    static DWORD WINAPI WriteAndClose(LPVOID handle) {
      ::Sleep(400);
      DWORD written = 0;
      ::WriteFile(handle, "two\r\n", 5, &written, nullptr);
      ::CloseHandle(handle);
      return 0;
    }
  };
  const HANDLE release = ::CreateThread(nullptr, 0, &Writer::WriteAndClose, writer, 0, nullptr);
  ASSERT_NE(release, nullptr);
  EXPECT_TRUE(files.AppendLine(path, L"three")) << "gave up while another machine wrote";
  ::WaitForSingleObject(release, INFINITE);
  ::CloseHandle(release);
  EXPECT_EQ(e2e::ReadFileText(path), "\xEF\xBB\xBFone\r\ntwo\r\nthree\r\n");
}

TEST(DllSearch, ADllBesideTheProgramIsNotLoadedByItsBareName) {
  // kolvane_planted.dll is built next to this test program. The hardening
  // stays for the rest of this process; the other tests load nothing by a
  // bare name from outside the system directory.
  HMODULE planted = ::LoadLibraryW(L"kolvane_planted.dll");
  ASSERT_NE(planted, nullptr) << "without the hardening the program's folder is searched";
  ::FreeLibrary(planted);
  HardenDllSearch();
  planted = ::LoadLibraryW(L"kolvane_planted.dll");
  EXPECT_EQ(planted, nullptr) << "after it, only the system directory is";
  if (planted != nullptr) ::FreeLibrary(planted);
  EXPECT_NE(::LoadLibraryW(L"version.dll"), nullptr) << "system DLLs still load";
}

TEST(Win32Process, DirectoriesAreCutToTheirLength) {
  Win32Process process;
  for (const std::wstring& d : {process.WindowsDirectory(), process.SystemDirectory(), process.CurrentDirectory()}) {
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d.find(L'\0'), std::wstring::npos);
    EXPECT_NE(::GetFileAttributesW(d.c_str()), INVALID_FILE_ATTRIBUTES) << d.c_str();
  }
  const std::wstring system = process.SystemDirectory();
  EXPECT_EQ(system.back() == L'\\', system.size() == 3) << "only a drive root ends with a separator";
  EXPECT_EQ(::CompareStringOrdinal(system.c_str(), -1, L"C:\\windows\\system32", -1, TRUE), CSTR_EQUAL);
}

TEST(Win32Process, ModuleFileNameAndCommandLine) {
  Win32Process process;
  const std::wstring module = process.ModuleFileName();
  ASSERT_GT(module.size(), 15u);
  EXPECT_EQ(::CompareStringOrdinal(module.substr(module.size() - 15).c_str(), -1, L"win32_tests.exe", -1, TRUE),
            CSTR_EQUAL)
      << module.c_str();
  EXPECT_NE(process.CommandLine().find(L"win32_tests"), std::wstring::npos);
}

TEST(Win32EventClock, WaitEndsAtItsTimeAndTheClockMovesOn) {
  Win32EventClock clock;
  const double start = clock.Now();
  clock.ProcessPendingEvents();
  clock.WaitForEvents(0.2);
  const double waited = clock.Now() - start;
  EXPECT_GE(waited, 0.15);
  EXPECT_LT(waited, 5.0);
}

TEST(Win32EventClock, QueuedMessageEndsTheWaitAndIsHandled) {
  Win32EventClock clock;
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0);
  const double start = clock.Now();
  clock.WaitForEvents(30.0);
  EXPECT_LT(clock.Now() - start, 5.0);
  clock.ProcessPendingEvents();
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the queue was emptied";
  ::PostQuitMessage(3);
  clock.ProcessPendingEvents();
  EXPECT_TRUE(clock.QuitSeen());
  EXPECT_EQ(clock.QuitCode(), 3);
}

}  // namespace
}  // namespace kolvane::win32

namespace kolvane::win32 {
namespace {

TEST_F(FilesTest, FileInUseIsDeletedAtTheNextRestart) {
  const std::wstring path = Make(L"ssvchost.exe", 110592);
  {
    // Held the way a running program holds its file: no delete sharing.
    ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.is_valid());
    EXPECT_FALSE(files.Delete(path));
    EXPECT_TRUE(files.DeleteAtRestart(path, false));
    EXPECT_TRUE(::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) << "nothing happens before the restart";
  }
  ASSERT_TRUE(e2e::RunWineboot());
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Process, LocalTimeCarriesItsOffsetFromUtc) {
  // The offset is what lies between the local clock and UTC.
  Win32Process process;
  SYSTEMTIME local{};
  SYSTEMTIME utc{};
  ::GetLocalTime(&local);
  ::GetSystemTime(&utc);
  FILETIME a{};
  FILETIME b{};
  ::SystemTimeToFileTime(&local, &a);
  ::SystemTimeToFileTime(&utc, &b);
  const auto minutes = [](const FILETIME& f) {
    return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) /
           600000000LL;
  };
  const int offset = process.Now().utcOffsetMinutes;
  EXPECT_LE(std::llabs(minutes(a) - minutes(b) - offset), 1) << offset;
  std::printf("UTC offset %d minutes\n", offset);
}

TEST(ProgramImage, OnlyTheFileAProgramRunsFromMatchesItsImage) {
  // The program as the loader maps it, away from the address it was built
  // for (this test program sits there), and its file.
  wchar_t temp[MAX_PATH + 1];
  ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring program =
      std::wstring(temp) + L"kolvane-image-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const HMODULE image = e2e::MapProgramCopy(program);
  ASSERT_NE(image, nullptr);
  const std::string text = e2e::ReadFileText(program);
  std::vector<unsigned char> file(text.begin(), text.end());
  const auto base = reinterpret_cast<const unsigned char*>(image);
  const auto matches = [&](const std::vector<unsigned char>& bytes) {
    return ImageMatchesFile(base, bytes.data(), bytes.size());
  };
  EXPECT_TRUE(matches(file));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(file.data() + dos->e_lfanew);
  EXPECT_NE(reinterpret_cast<ULONG_PTR>(image), static_cast<ULONG_PTR>(nt->OptionalHeader.ImageBase))
      << "loaded where it was built for: the relocations go untested";
  // Another program differs somewhere in what is mapped: a byte of the
  // headers, or of any section.
  std::vector<std::size_t> places{static_cast<std::size_t>(dos->e_lfanew) + 8};
  const auto* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const DWORD mapped = std::min<DWORD>(section->SizeOfRawData, section->Misc.VirtualSize);
    if (mapped > 0) places.push_back(section->PointerToRawData + mapped / 2);
  }
  for (const std::size_t place : places) {
    std::vector<unsigned char> other = file;
    other[place] ^= 0x5A;
    EXPECT_FALSE(matches(other)) << "a byte at " << place;
  }
  std::vector<unsigned char> cut(file.begin(), file.end() - 1);
  EXPECT_FALSE(matches(cut));
  EXPECT_FALSE(matches({'M', 'Z'}));
  // A signature goes after the sections, where nothing is mapped.
  std::vector<unsigned char> signed_ = file;
  signed_.insert(signed_.end(), 512, 0x30);
  EXPECT_TRUE(matches(signed_));
  ::FreeLibrary(image);
  ::DeleteFileW(program.c_str());
}

TEST(ProgramImage, TheHeldProgramIsTheCheckedFileOrNothing) {
  wchar_t temp[MAX_PATH + 1];
  ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring path = std::wstring(temp) + L"kolvane-held-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring copy = path + L".copy";
  const HMODULE image = e2e::MapProgramCopy(path);
  ASSERT_NE(image, nullptr);
  // Another program's image: this test program's, which is larger.
  EXPECT_FALSE(CheckProgramFile(path.c_str(), ::GetModuleHandleW(nullptr))) << "not that image";
  ASSERT_TRUE(CheckProgramFile(path.c_str(), image));
  {
    // Every copy is the whole program, the second as the first. (A failed
    // comparison prints sizes, never the bytes of a program.)
    Win32Files files;
    files.HoldProgramFile(path);
    for (int copies = 0; copies < 2; ++copies) {
      EXPECT_EQ(files.CopyHeldProgram(copy), FileStatus::Ok);
      EXPECT_TRUE(e2e::ReadFileText(copy) == e2e::ReadFileText(path))
          << e2e::ReadFileText(copy).size() << " bytes copied of " << e2e::ReadFileText(path).size();
    }
  }
  // Renamed after the check, with another file at its name: nothing is held.
  const std::wstring aside = path + L".old";
  ASSERT_TRUE(::MoveFileW(path.c_str(), aside.c_str()));
  ASSERT_TRUE(::CopyFileW(aside.c_str(), path.c_str(), FALSE));
  Win32Files files;
  files.HoldProgramFile(path);
  EXPECT_EQ(files.CopyHeldProgram(copy), FileStatus::Failed);
  EXPECT_FALSE(OpenCheckedProgramFile(path.c_str()).is_valid());
  ::FreeLibrary(image);
  for (const std::wstring& made : {path, copy, aside}) ::DeleteFileW(made.c_str());
}

TEST(Win32Process, NamesAreComparedByCodePointIgnoringCase) {
  EXPECT_TRUE(SameName(L"C:\\WINDOWS\\system32\\SSVCHOST.EXE", L"c:\\windows\\System32\\ssvchost.exe"));
  EXPECT_TRUE(SameName(L"\u00C4\u0416", L"\u00E4\u0436"));
  // What a locale's comparison lets through: a character it ignores, a
  // dotless i, a shorter name.
  EXPECT_FALSE(SameName(L"ssvchost.exe", L"ssvc\u00ADhost.exe"));
  EXPECT_FALSE(SameName(L"ssvchost.exe", L"ssvch\u0131ost.exe"));
  EXPECT_FALSE(SameName(L"ssvchost.exe", L"ssvchost.ex"));
}

struct {
  HANDLE ended = nullptr, waitedFor = nullptr;
  DWORD timeout = 0;
  DWORD answer = WAIT_OBJECT_0;
} g_ending;

BOOL WINAPI RecordTerminate(HANDLE process, UINT code) {
  g_ending.ended = process;
  return ::TerminateProcess(process, code);
}
DWORD WINAPI RecordWait(HANDLE object, DWORD timeout) {
  g_ending.waitedFor = object;
  g_ending.timeout = timeout;
  return g_ending.answer == WAIT_OBJECT_0 ? ::WaitForSingleObject(object, timeout) : g_ending.answer;
}

TEST(Win32Process, AnEndedProcessIsWaitedForBeforeItsFileIsTouched) {
  wchar_t temp[MAX_PATH + 1];
  ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring path =
      std::wstring(temp) + L"kolvane-ending-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  for (const DWORD answer : {static_cast<DWORD>(WAIT_OBJECT_0), static_cast<DWORD>(WAIT_TIMEOUT)}) {
    SCOPED_TRACE(answer);
    const std::wstring program = e2e::ProgramPath();
    ASSERT_TRUE(::CopyFileW((program.substr(0, program.rfind(L'\\') + 1) + L"threat_standin.exe").c_str(), path.c_str(),
                            FALSE));
    e2e::App running(L"", path, false);
    ASSERT_TRUE(running.started());
    ASSERT_TRUE(e2e::WaitUntilRunning(running.pid()));
    g_ending = {};
    g_ending.answer = answer;
    Win32Process process({nullptr, &RecordTerminate, &RecordWait});
    EXPECT_EQ(process.EndProcessesRunning(path), answer == WAIT_OBJECT_0) << "an end not seen is a failure";
    EXPECT_NE(g_ending.ended, nullptr);
    EXPECT_EQ(g_ending.waitedFor, g_ending.ended);
    EXPECT_GE(g_ending.timeout, 1000u);
    DWORD code = 0;
    EXPECT_TRUE(running.WaitForExit(e2e::kTimeoutMs, &code));
  }
  ::DeleteFileW(path.c_str());
}

TEST(Win32Process, OneRunChangesTheMachineAtATime) {
  Win32Process first;
  Win32Process second;
  ASSERT_EQ(first.LockMachine(1000), LockResult::Held);
  // Another run waits all its time in vain...
  DWORD start = ::GetTickCount();
  EXPECT_EQ(second.LockMachine(300), LockResult::Busy);
  EXPECT_GE(::GetTickCount() - start, 280u) << "it waited";
  // ...or until the first lets go.
  struct Other {
    static DWORD WINAPI LetGo(LPVOID process) {
      ::Sleep(200);
      static_cast<Win32Process*>(process)->UnlockMachine();
      return 0;
    }
  };
  const HANDLE thread = ::CreateThread(nullptr, 0, &Other::LetGo, &first, 0, nullptr);
  start = ::GetTickCount();
  EXPECT_EQ(second.LockMachine(e2e::kTimeoutMs), LockResult::Held);
  EXPECT_GE(::GetTickCount() - start, 150u);
  ::WaitForSingleObject(thread, e2e::kTimeoutMs);
  ::CloseHandle(thread);
  second.UnlockMachine();
  // Nothing is left behind for the next run.
  wchar_t windows[MAX_PATH];
  ASSERT_GT(::GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
  EXPECT_EQ(::GetFileAttributesW((std::wstring(windows) + L"\\KolvaneBackdoorHeliosB.lock").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(first.LockMachine(0), LockResult::Held);
}

// The lock's requests: a file in the system's Windows directory, the same
// for every session, that only administrators and the system may open,
// shared with nobody and asked only for what deleting it on close needs.
struct {
  int calls = 0;
  std::wstring path, rights;
  DWORD access = 0, share = 0, disposition = 0, flags = 0;
  DWORD answer = ERROR_SUCCESS;
} g_lock;

HANDLE WINAPI RecordLockOpen(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                             DWORD flags, HANDLE from) {
  ++g_lock.calls;
  g_lock = {g_lock.calls, path, L"", access, share, disposition, flags, g_lock.answer};
  wchar_t* text = nullptr;
  if (security != nullptr &&
      ::ConvertSecurityDescriptorToStringSecurityDescriptorW(security->lpSecurityDescriptor, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &text, nullptr)) {
    g_lock.rights = text;
    ::LocalFree(text);
  }
  if (g_lock.answer == ERROR_SUCCESS) return ::CreateFileW(path, access, share, security, disposition, flags, from);
  ::SetLastError(g_lock.answer);
  return INVALID_HANDLE_VALUE;
}

TEST(Win32Process, TheLockIsAFileOnlyAdministratorsMayMakeOrOpenAndNobodyShares) {
  g_lock = {};
  Win32Process process(ProcessCalls{.createFile = &RecordLockOpen});
  EXPECT_EQ(process.LockMachine(100), LockResult::Held);
  wchar_t windows[MAX_PATH];
  ASSERT_GT(::GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
  EXPECT_EQ(g_lock.path, std::wstring(windows) + L"\\KolvaneBackdoorHeliosB.lock");
  EXPECT_EQ(g_lock.rights, L"D:P(A;;FA;;;SY)(A;;FA;;;BA)");
  EXPECT_EQ(g_lock.access, static_cast<DWORD>(DELETE));
  EXPECT_EQ(g_lock.share, 0u);
  EXPECT_EQ(g_lock.disposition, static_cast<DWORD>(OPEN_ALWAYS));
  EXPECT_NE(g_lock.flags & FILE_FLAG_DELETE_ON_CLOSE, 0u);
  process.UnlockMachine();

  // Without the rights to it nothing could be changed anyway; any other
  // failure is one.
  const std::pair<DWORD, LockResult> answers[] = {{ERROR_ACCESS_DENIED, LockResult::NoRights},
                                                  {ERROR_PATH_NOT_FOUND, LockResult::Failed},
                                                  {ERROR_DISK_FULL, LockResult::Failed}};
  for (const auto& [answer, result] : answers) {
    g_lock = {};
    g_lock.answer = answer;
    EXPECT_EQ(process.LockMachine(e2e::kTimeoutMs), result) << answer;
    EXPECT_LE(g_lock.calls, 3) << "no long wait for what cannot change";
  }
  g_lock = {};
  g_lock.answer = ERROR_SHARING_VIOLATION;
  EXPECT_EQ(process.LockMachine(200), LockResult::Busy);
  EXPECT_GT(g_lock.calls, 1) << "asked again while it waited";
}

// Who may see the screen, as each Windows tells it.
struct {
  DWORD major = 10;
  BOOL sessionKnown = TRUE;
  DWORD session = 1;
  BOOL flagsKnown = TRUE;
  DWORD flags = WSF_VISIBLE;
} g_screen;

DWORD WINAPI ScreenVersion() { return g_screen.major; }
BOOL WINAPI ScreenSession(DWORD, DWORD* session) {
  *session = g_screen.session;
  return g_screen.sessionKnown;
}
BOOL WINAPI ScreenFlags(HANDLE, int index, PVOID info, DWORD size, LPDWORD) {
  if (index != UOI_FLAGS || size < sizeof(USEROBJECTFLAGS) || !g_screen.flagsKnown) return FALSE;
  static_cast<USEROBJECTFLAGS*>(info)->dwFlags = g_screen.flags;
  return TRUE;
}

TEST(Win32Process, SessionZeroIsNobodysScreenFromVistaOnAndAnUnreadableStationToo) {
  struct Case {
    DWORD major;
    BOOL sessionKnown;
    DWORD session;
    BOOL flagsKnown;
    DWORD flags;
    bool seen;
  };
  const Case cases[] = {
      {10, TRUE, 1, TRUE, WSF_VISIBLE, true},    // a user's session
      {10, TRUE, 0, TRUE, WSF_VISIBLE, false},   // session 0 with interactive services allowed
      {6, TRUE, 0, TRUE, WSF_VISIBLE, false},    // Vista
      {5, TRUE, 0, TRUE, WSF_VISIBLE, true},     // XP: session 0 is the console's
      {5, TRUE, 0, TRUE, 0, false},              // XP: a service's hidden station
      {10, TRUE, 1, TRUE, 0, false},             // a station nobody sees
      {10, TRUE, 1, FALSE, WSF_VISIBLE, false},  // flags that cannot be read
      {10, FALSE, 0, TRUE, WSF_VISIBLE, true},   // a session that cannot be told: the station decides
  };
  for (const Case& c : cases) {
    g_screen = {c.major, c.sessionKnown, c.session, c.flagsKnown, c.flags};
    Win32Process process(ProcessCalls{.getVersion = &ScreenVersion,
                                      .processIdToSessionId = &ScreenSession,
                                      .getUserObjectInformation = &ScreenFlags});
    EXPECT_EQ(process.ScreenSeen(), c.seen) << c.major << " session " << c.session << " flags " << c.flags;
  }
  // Wine's own answer, in a session of its own with a visible station.
  EXPECT_TRUE(Win32Process().ScreenSeen());
}

TEST(EventLog, TheProgramHoldsATextForEveryOutcomeAndNoMore) {
  // Event Viewer loads the registered file as data and formats each record
  // with its own texts: step, word, what happened, code.
  const HMODULE program = ::LoadLibraryExW(e2e::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr);
  DWORD_PTR texts[] = {reinterpret_cast<DWORD_PTR>(L"/basmi"), reinterpret_cast<DWORD_PTR>(L"dihapus"),
                       reinterpret_cast<DWORD_PTR>(L"ditemukan: C:\\WINDOWS\\system32\\ssvchost.exe"),
                       reinterpret_cast<DWORD_PTR>(L"0")};
  const auto format = [&](DWORD id) {
    wchar_t text[256] = {};
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, program, id, 0, text,
                                     256, reinterpret_cast<va_list*>(texts));
    return std::wstring(text, n);
  };
  for (DWORD id = 1; id <= 6; ++id) {
    EXPECT_EQ(format(id), L"/basmi: dihapus\r\nditemukan: C:\\WINDOWS\\system32\\ssvchost.exe\r\nKode keluar: 0") << id;
  }
  EXPECT_EQ(format(0), L"");
  EXPECT_EQ(format(7), L"");
  ::FreeLibrary(program);
}

// What each record asked of the log: its ID and the account it names.
struct {
  std::vector<DWORD> ids;
  std::vector<std::wstring> accounts;
} g_records;

BOOL WINAPI RecordReport(HANDLE, WORD, WORD, DWORD id, PSID sid, WORD, DWORD, LPCWSTR*, LPVOID) {
  g_records.ids.push_back(id);
  wchar_t* text = nullptr;
  g_records.accounts.push_back(sid != nullptr && ::ConvertSidToStringSidW(sid, &text) ? text : L"none");
  ::LocalFree(text);
  return TRUE;
}

TEST(EventLog, EveryRecordNamesTheAccountThatWroteIt) {
  // The account this process runs as, as Windows tells it.
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  unsigned char user[256] = {};
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof(user), &size));
  ::CloseHandle(token);
  wchar_t* own = nullptr;
  ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &own));
  const std::wstring account = own;
  ::LocalFree(own);

  g_records = {};
  Win32Process process(ProcessCalls{.reportEvent = &RecordReport});
  const wchar_t* const texts[4] = {L"/scan", L"bersih", L"tidak ditemukan", L"0"};
  process.WriteEvent(3000, EventType::Information, texts);
  process.WriteEvent(3002, EventType::Warning, texts);
  EXPECT_EQ(g_records.ids, (std::vector<DWORD>{3000, 3002}));
  EXPECT_EQ(g_records.accounts, (std::vector<std::wstring>{account, account}));
}

TEST(Win32Process, WineGivesEveryProcessFullRights) {
  Win32Process process;
  EXPECT_EQ(process.ElevationState(), Elevation::Elevated);
}

}  // namespace
}  // namespace kolvane::win32
