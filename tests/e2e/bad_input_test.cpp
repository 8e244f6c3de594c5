// Whatever the command line says, only the threat's own file is ever
// deleted, and the log says "Gagal" where nothing was deleted.
#include <gtest/gtest.h>

#include "app/threat_profile.h"
#include "driver.h"

namespace e2e {
namespace {

using kolvane::RunKey;
using kolvane::RunServicesKey;

constexpr DWORD kThreatSize = 110592;

class BadInput : public ::testing::Test {
 protected:
  void TearDown() override {
    ::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(ThreatPath().c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
      ::DeleteFileW(it->c_str());
      ::RemoveDirectoryW(it->c_str());
    }
    DeleteValueEverywhere(RunKey, L"ssvchost");
    DeleteValueEverywhere(RunServicesKey, L"ssvchost");
  }

  std::wstring Dir(const std::wstring& path) {
    ::CreateDirectoryW(path.c_str(), nullptr);
    made.push_back(path);
    return path;
  }
  std::wstring File(const std::wstring& path, DWORD size) {
    PlantFile(path, size);
    EXPECT_TRUE(FileExists(path)) << "could not be made: " << path.size() << " characters";
    made.push_back(path);
    return path;
  }

  // Starts the purge with this argument text and returns its log.
  static std::wstring Purge(const std::wstring& argument) {
    App app(argument);
    EXPECT_TRUE(app.started());
    HWND box = WaitForMessageBox(app.pid());
    EXPECT_NE(box, nullptr);
    if (box == nullptr) return L"";
    const std::wstring log = MessageBoxText(box);
    EXPECT_TRUE(PressOk(box));
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
    return log;
  }

  static std::wstring FileLine(const std::wstring& path, const wchar_t* outcome) {
    return L"            Proses menghapus file " + path + L" ... " + outcome + L"\r\n";
  }

  std::wstring Temp() {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    return Dir(std::wstring(temp) + L"kolvane-bad-input");
  }

  std::vector<std::wstring> made;
};

TEST_F(BadInput, BlanksAloneStartTheWindow) {
  App app(L"   \t ");
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", L"Kolvane Backdoor.Helios.B");
  ASSERT_NE(form, nullptr);
  ::PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
}

TEST_F(BadInput, NothingButTheThreatInItsOwnPlaceIsDeleted) {
  // Anybody can start the program with a path, and it runs with
  // administrator rights: a file of the threat's name and size anywhere
  // else stays, and so does everything else.
  const std::wstring dir = Temp();
  const std::wstring threat = File(dir + L"\\ssvchost.exe", kThreatSize);
  const std::wstring other = File(dir + L"\\notes.exe", kThreatSize);
  const std::wstring shorter = File(Dir(dir + L"\\short") + L"\\ssvchost.exe", kThreatSize - 1);
  const std::wstring directory = Dir(dir + L"\\ssvchost.exe.d");
  const std::wstring blanks = File(Dir(dir + L"\\Program Files") + L"\\ssvchost.exe", kThreatSize);
  const std::wstring unicode =
      File(Dir(dir + L"\\\u041f\u0451\u0442\u0440 \u6771\u4eac") + L"\\ssvchost.exe", kThreatSize);
  std::wstring deep = dir;
  while (deep.size() < 280) deep = Dir(deep + L"\\" + std::wstring(60, L'd'));
  const std::wstring longPath = deep + L"\\ssvchost.exe";
  File(L"\\\\?\\" + longPath, kThreatSize);
  for (const std::wstring& arg :
       {dir + L"\\missing.exe", threat, other, shorter, directory, dir + L"\\ssvch*.exe", dir + L"\\ssvch?st.exe",
        dir + L"\\*", threat + L":stream", blanks, unicode, longPath}) {
    EXPECT_NE(Purge(arg).find(FileLine(arg, L"Gagal")), std::wstring::npos) << "argument " << arg.size();
  }
  EXPECT_NE(Purge(L"\"" + blanks + L"\"").find(FileLine(blanks, L"Gagal")), std::wstring::npos);
  for (const std::wstring& path : {threat, other, shorter, directory, blanks, unicode, L"\\\\?\\" + longPath}) {
    EXPECT_TRUE(FileExists(path)) << path.size();
  }
}

TEST_F(BadInput, HeldReadOnlyThreatIsDeletedAtTheNextRestart) {
  // Any user may hold a file of the threat's name without sharing its
  // deletion: one of another size keeps every attribute and is not
  // scheduled for the restart.
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  PlantFile(ThreatPath(), 30);
  ASSERT_TRUE(::SetFileAttributesW(ThreatPath().c_str(), kHiddenSystem));
  HANDLE other = ::CreateFileW(ThreatPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Purge(ThreatPath()).find(L"di-restart"), std::wstring::npos);
  ::CloseHandle(other);
  EXPECT_EQ(::GetFileAttributesW(ThreatPath().c_str()) & kHiddenSystem, kHiddenSystem);
  std::wstring pending(4096, L'\0');
  DWORD bytes = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(), &bytes) == 0) {
    pending.resize(bytes / sizeof(wchar_t));
    EXPECT_EQ(pending.find(L"ssvchost.exe"), std::wstring::npos) << "scheduled for deletion";
  }
  ::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(ThreatPath().c_str());

  PlantFile(ThreatPath(), kThreatSize);
  ASSERT_TRUE(::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  HANDLE holder = ::CreateFileW(ThreatPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::wstring log = Purge(ThreatPath());
  ::CloseHandle(holder);
  EXPECT_NE(log.find(FileLine(ThreatPath(), L"Gagal") +
                     L"            File akan dihapus saat komputer di-restart berikutnya\r\n"),
            std::wstring::npos);
  ASSERT_TRUE(FileExists(ThreatPath()));
  // A read-only file would stay at the restart.
  EXPECT_EQ(::GetFileAttributesW(ThreatPath().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(ThreatPath()));
}

// What the C++ library would throw ends the release's process with a
// message instead of a silent exit; the C functions it calls are right.
TEST(ReleaseRuntime, FailuresEndTheProcessWithAMessage) {
  const std::wstring probe = ProgramPath().substr(0, ProgramPath().find_last_of(L'\\') + 1) + L"fatal_probe.exe";
  for (const auto& [argument, message] :
       {std::pair<std::wstring, std::wstring>{L"memory", L"Memori tidak cukup. Program dihentikan."},
        {L"length", L"Terjadi kesalahan di dalam program. Program dihentikan."}}) {
    App app(argument, probe);
    ASSERT_TRUE(app.started());
    HWND box = WaitForMessageBox(app.pid());
    ASSERT_NE(box, nullptr) << "no message for " << std::string(argument.begin(), argument.end());
    EXPECT_EQ(WindowText(box), L"Virus Windows Kolvane");
    EXPECT_EQ(MessageBoxText(box), message);
    EXPECT_TRUE(PressOk(box));
    DWORD code = 0;
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 3u);
    // Run for a script, nobody is there to press OK.
    App unattended(argument + L" unattended", probe, false);
    EXPECT_TRUE(unattended.WaitForExit(kTimeoutMs, &code)) << "it waited for someone";
    EXPECT_EQ(code, 3u);
  }
  // The runtime's own memory functions, which every string uses.
  App copies(L"copies", probe, false);
  DWORD code = 99;
  EXPECT_TRUE(copies.WaitForExit(kTimeoutMs, &code));
  EXPECT_EQ(code, 0u) << "the first case that came out wrong";
}

}  // namespace
}  // namespace e2e
