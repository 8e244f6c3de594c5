#include "platform/win32/win32_platform.h"

#include "platform/win32/loaded_function.h"
#include "platform/win32/program_image.h"
#include "platform/win32/win32_common.h"

namespace kolvane::win32 {
namespace {

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

// Sets information on an open file. SetFileInformationByHandle (Vista and
// later) where it exists, else ntdll's NtSetInformationFile, which every
// Windows from XP has; the structures are laid out alike for both.
bool SetFileInformation(const FileCalls& calls, HANDLE file, int vistaClass, ULONG ntClass, void* data, DWORD size) {
  using SetInfoFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  const auto setInfo = calls.setFileInformation != nullptr
                           ? calls.setFileInformation
                           : LoadedFunction<SetInfoFn>(L"kernel32.dll", "SetFileInformationByHandle");
  if (setInfo != nullptr) {
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

// C:\... for \\?\C:\..., \\server\... for \\?\UNC\server\...; anything else as it is.
std::wstring WithoutLongPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
  if (path.compare(0, 4, L"\\\\?\\") == 0 && path.size() > 6 && path[5] == L':') return path.substr(4);
  return path;
}

// The accounts trusted with what every reader of the event log reads:
// SYSTEM (S-1-5-18), the Administrators group (S-1-5-32-544) and the
// installer service that owns Windows' own files from Vista on
// (S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464).
struct KnownSid {
  BYTE authority;
  DWORD count;
  DWORD parts[6];
};
constexpr KnownSid kTrusted[] = {
    {5, 1, {18}},
    {5, 2, {32, 544}},
    {5, 6, {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}},
};
// OWNER RIGHTS (S-1-3-4): what an entry for it grants, it grants the owner.
constexpr KnownSid kOwnerRights = {3, 1, {4}};
// CREATOR OWNER (S-1-3-0) grants nothing on the object itself: it only
// stands for the owner of what is made in a folder.
constexpr KnownSid kCreatorOwner = {3, 1, {0}};

bool SidIs(PSID sid, const KnownSid& known) {
  const SID_IDENTIFIER_AUTHORITY* authority = ::GetSidIdentifierAuthority(sid);
  for (int i = 0; i < 5; ++i) {
    if (authority->Value[i] != 0) return false;
  }
  if (authority->Value[5] != known.authority || *::GetSidSubAuthorityCount(sid) != known.count) return false;
  for (DWORD i = 0; i < known.count; ++i) {
    if (*::GetSidSubAuthority(sid, i) != known.parts[i]) return false;
  }
  return true;
}

bool Trusted(PSID sid) {
  if (sid == nullptr || !::IsValidSid(sid)) return false;
  for (const KnownSid& known : kTrusted) {
    if (SidIs(sid, known)) return true;
  }
  return false;
}

// The rights by which someone could change what a file holds or what a
// folder holds in its place: delete or rename it, or give themselves any
// right by its permissions or its ownership.
constexpr DWORD kReplace = DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
// Of the file itself: write to it.
constexpr DWORD kFileRights = kReplace | FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE;
// Of its own folder: add a file or a folder, or delete or rename any.
constexpr DWORD kFolderRights = kReplace | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | GENERIC_WRITE;
// Of each folder above: delete or rename what it holds. (Every user may
// make folders in the root of the system drive.)
constexpr DWORD kAboveRights = kReplace | FILE_DELETE_CHILD;

}  // namespace

FileStatus Win32Files::SizeOf(const std::wstring& path, std::uint64_t& size) {
  // Reading attributes needs no read access and passes any sharing mode, so
  // a file held open by a running program is still measured.
  ScopedFileHandle file(Open(path, FILE_READ_ATTRIBUTES));
  if (!file.is_valid()) return NotThereOr(path, ::GetLastError());
  return Measure(file.get(), size);
}

HANDLE Win32Files::Open(const std::wstring& path, DWORD access) {
  // A link is opened as itself, never as what it points to; sharing is left
  // to those who hold the file. Directories do not open without
  // FILE_FLAG_BACKUP_SEMANTICS.
  return calls_.createFile(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

FileStatus Win32Files::Measure(HANDLE file, std::uint64_t& size) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info)) return FileStatus::Failed;
  // A link is not the file it may point to.
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return FileStatus::NotFound;
  }
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return FileStatus::Ok;
}

FileStatus Win32Files::DeleteOfSize(const std::wstring& path, std::uint64_t size) {
  // Opened once, for everything that follows. A file another program holds
  // without sharing its deletion is opened for its attributes only, which
  // no sharing refuses: it is measured all the same, and only the file
  // asked for is made ready for the deletion at the restart.
  constexpr DWORD attributes = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
  bool held = false;
  ScopedFileHandle file(Open(path, DELETE | attributes));
  if (!file.is_valid() && FileStatusOf(::GetLastError()) == FileStatus::InUse) {
    held = true;
    file.reset(Open(path, attributes));
  }
  if (!file.is_valid()) return NotThereOr(path, ::GetLastError());
  std::uint64_t actual = 0;
  const FileStatus measured = Measure(file.get(), actual);
  if (measured != FileStatus::Ok) return measured;
  if (actual != size) return FileStatus::NotFound;
  // Read-only refuses the deletion; hidden and system go with it. Times of
  // zero are left as they are.
  struct {
    LARGE_INTEGER times[4];
    DWORD attributes;
  } basic{{}, FILE_ATTRIBUTE_NORMAL};
  SetFileInformation(calls_, file.get(), 0 /* FileBasicInfo */, 4 /* FileBasicInformation */, &basic, sizeof(basic));
  if (held) return FileStatus::InUse;
  // Having opened it for deletion, only a program running from it (Windows
  // refuses to delete a mapped image) can stop the deletion now.
  BOOLEAN dispose = TRUE;
  if (!SetFileInformation(calls_, file.get(), 4 /* FileDispositionInfo */, 13 /* FileDispositionInformation */,
                          &dispose, sizeof(dispose))) {
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
  const auto disable = calls_.disableRedirection != nullptr
                           ? calls_.disableRedirection
                           : LoadedFunction<DisableFn>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  const auto revert = calls_.revertRedirection != nullptr
                          ? calls_.revertRedirection
                          : LoadedFunction<RevertFn>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
  PVOID redirection = nullptr;
  const bool off = nativeView && disable != nullptr && revert != nullptr && disable(&redirection);
  const bool scheduled = calls_.moveFileEx(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  if (off) revert(redirection);
  return scheduled;
}

bool Win32Files::Move(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void Win32Files::HoldProgramFile(const std::wstring& path) {
  // Read sharing only: the file can be read and run, but not written,
  // renamed or deleted while this process lives. Held only when it is the
  // file the program was found to run from at its start.
  program_ = OpenCheckedProgramFile(path.c_str());
}

FileStatus Win32Files::CopyHeldProgram(const std::wstring& to) {
  std::size_t size = 0;
  const unsigned char* bytes = CheckedProgramBytes(size);
  if (!program_.is_valid() || bytes == nullptr) return FileStatus::Failed;
  // A copy an earlier run left read-only or hidden refuses to be replaced.
  ::SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  // A program that runs from it cannot be written (sharing violation).
  ScopedFileHandle copy(
      calls_.createFile(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.is_valid()) return FileStatusOf(::GetLastError());
  DWORD written = 0;
  const bool ok = ::WriteFile(copy.get(), bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
  copy.reset();
  if (!ok) {
    ::DeleteFileW(to.c_str());
    return FileStatus::Failed;
  }
  // The mark of a download would stop the copy at logon with a warning.
  ::DeleteFileW((to + L":Zone.Identifier").c_str());
  return FileStatus::Ok;
}

std::wstring Win32Files::PlainLogPath(const std::wstring& path) {
  // The full path, as the system makes it of the text: the current
  // directory for a relative one, "." and ".." taken away. The forms that
  // go past that (\\?\C:\..., \\?\UNC\...) are read as the path they give;
  // devices (\\.\..., CON, NUL, a pipe) are never a log.
  const std::wstring named = WithoutLongPrefix(path);
  const std::wstring full =
      QueryText([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(named.c_str(), size, buffer, nullptr); });
  // The folders below the root: C:\ or \\server\share\.
  std::size_t at = 0;
  if (full.size() > 3 && full[1] == L':' && full[2] == L'\\') {
    at = 3;
  } else if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\' && full[2] != L'.' && full[2] != L'?') {
    at = full.find(L'\\', 2);
    at = at == std::wstring::npos ? at : full.find(L'\\', at + 1);
    if (at == std::wstring::npos) return {};
    ++at;
  } else {
    return {};
  }
  // Each folder is a plain one: a junction, a mount point or a symbolic
  // link there (which a standard user may make of a folder they created)
  // would lead the line elsewhere.
  for (std::size_t end; (end = full.find(L'\\', at)) != std::wstring::npos; at = end + 1) {
    const DWORD attributes = calls_.getFileAttributes(full.substr(0, end).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return {};
    }
  }
  return full;
}

bool Win32Files::LeadsWhereItNames(HANDLE file, const std::wstring& full) {
  // Vista and later tell the place an open file really has, which catches
  // a folder made a link between the look above and the open. A network
  // path is the server's to resolve, and a drive letter for a share has
  // another name there: it is not asked.
  using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  const auto finalPath = calls_.getFinalPathName != nullptr
                             ? calls_.getFinalPathName
                             : LoadedFunction<FinalPathFn>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  if (finalPath == nullptr || full[1] != L':' || ::GetDriveTypeW(full.substr(0, 3).c_str()) == DRIVE_REMOTE) {
    return true;
  }
  const std::wstring real = QueryText(
      [&](wchar_t* buffer, DWORD size) { return finalPath(file, buffer, size, 0 /* normalized, DOS name */); });
  // Short names as long ones, as the system gives them.
  const std::wstring named =
      QueryText([&](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(full.c_str(), buffer, size); });
  return !real.empty() && !named.empty() && SameName(WithoutLongPrefix(real).c_str(), named.c_str());
}

bool Win32Files::AppendLine(const std::wstring& path, const std::wstring& line) {
  // The log is often written as SYSTEM, into a folder others may write to:
  // a link there, in any of its folders or as the file itself, could lead
  // the line into any file.
  const std::wstring full = PlainLogPath(path);
  if (full.empty()) return false;
  // UTF-8, with a byte order mark at the start of a new file: Notepad on
  // Windows XP shows it right, and any computer name or path fits. Several
  // machines may append to one file on a share at the same time: each
  // writes alone (readers are welcome), and one that finds another writing
  // tries again for about two seconds. Alone, it can tell an empty file
  // from one another machine just began.
  ScopedFileHandle file;
  for (int attempt = 0;; ++attempt) {
    file.reset(calls_.createFile(full.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.is_valid() || attempt == 40 || FileStatusOf(::GetLastError()) != FileStatus::InUse) break;
    ::Sleep(50);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.is_valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
      !calls_.getFileInformation(file.get(), &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !LeadsWhereItNames(file.get(), full)) {
    return false;
  }
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

bool Win32Files::NobodyElseMay(const std::wstring& path, DWORD rights) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (calls_.getNamedSecurityInfo(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const ScopedLocalMemory held(descriptor);
  // The owner may always change the permissions; no permissions at all
  // (a null DACL) let everybody do anything.
  if (!Trusted(owner) || dacl == nullptr) return false;
  ACL_SIZE_INFORMATION size{};
  if (!::GetAclInformation(dacl, &size, sizeof(size), AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(dacl, i, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    // Denials and entries that only pass to what is made inside take no
    // right away from the check; entries that grant in ways not read here
    // (object and callback entries) are counted as granting everything.
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || header->AceType == ACCESS_DENIED_ACE_TYPE ||
        header->AceType == SYSTEM_AUDIT_ACE_TYPE || header->AceType == SYSTEM_ALARM_ACE_TYPE ||
        header->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
      continue;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if ((allowed->Mask & rights) == 0 || Trusted(sid) || SidIs(sid, kCreatorOwner) || SidIs(sid, kOwnerRights)) {
      continue;
    }
    return false;
  }
  return true;
}

bool Win32Files::OnlyAdministratorsMayChange(const std::wstring& path) {
  // A full path of a drive letter, as the system writes it.
  const std::wstring full =
      QueryText([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
  if (full != path || full.size() < 4 || full[1] != L':' || full[2] != L'\\' || full.back() == L'\\') return false;
  // A fixed disk: not a USB stick nor a CD, which go with their owner, nor
  // a share, which every reader would open with its own credentials.
  if (calls_.getDriveType(full.substr(0, 3).c_str()) != DRIVE_FIXED) return false;
  // The file, then each folder up to the root; none of them a link, which
  // could lead elsewhere than the rights looked at.
  for (std::size_t end = full.size(), level = 0; end >= 2; end = full.rfind(L'\\', end - 1), ++level) {
    // The root keeps its backslash: C:\ is the drive, C: its current folder.
    const std::wstring name = full.substr(0, end == 2 ? 3 : end);
    const DWORD attributes = calls_.getFileAttributes(name.c_str());
    const bool folder = level != 0;
    if (attributes == INVALID_FILE_ATTRIBUTES || ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !NobodyElseMay(name, level == 0   ? kFileRights
                             : level == 1 ? kFolderRights
                                          : kAboveRights)) {
      return false;
    }
    if (end == 2) break;
  }
  return true;
}

bool Win32Files::IsFolder(const std::wstring& path) {
  const DWORD attributes = calls_.getFileAttributes(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Files::SameFolder(const std::wstring& a, const std::wstring& b) {
  // A folder is the same by its volume and its number there, whatever the
  // names that lead to it.
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  const std::wstring* const paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const ScopedFileHandle folder(calls_.createFile(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.is_valid() || !calls_.getFileInformation(folder.get(), &info[i]) ||
        (info[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return false;
    }
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace kolvane::win32
