// Whatever the command line says, only a file with the threat's signature
// is ever deleted, and the log says "Gagal" where nothing was deleted.
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

TEST_F(BadInput, NothingButTheThreatIsDeleted) {
  const std::wstring dir = Temp();
  const std::wstring threat = File(dir + L"\\ssvchost.exe", kThreatSize);
  const std::wstring other = File(dir + L"\\notes.exe", kThreatSize);
  const std::wstring shorter = File(Dir(dir + L"\\short") + L"\\ssvchost.exe", kThreatSize - 1);
  const std::wstring directory = Dir(dir + L"\\ssvchost.exe.d");
  for (const std::wstring& arg : {dir + L"\\missing.exe", other, shorter, directory, dir + L"\\ssvch*.exe",
                                  dir + L"\\ssvch?st.exe", dir + L"\\*", threat + L":stream"}) {
    EXPECT_NE(Purge(arg).find(FileLine(arg, L"Gagal")), std::wstring::npos) << "argument " << arg.size();
  }
  for (const std::wstring& path : {threat, other, shorter, directory}) {
    EXPECT_TRUE(FileExists(path)) << path.size();
  }
}

TEST_F(BadInput, QuotedPathWithBlanks) {
  const std::wstring threat = File(Dir(Temp() + L"\\Program Files") + L"\\ssvchost.exe", kThreatSize);
  EXPECT_NE(Purge(L"\"" + threat + L"\"").find(FileLine(threat, L"Sukses")), std::wstring::npos);
  EXPECT_FALSE(FileExists(threat));
}

TEST_F(BadInput, PathOutsideTheAnsiCodePage) {
  const std::wstring threat =
      File(Dir(Temp() + L"\\\u041f\u0451\u0442\u0440 \u6771\u4eac") + L"\\ssvchost.exe", kThreatSize);
  EXPECT_NE(Purge(threat).find(FileLine(threat, L"Sukses")), std::wstring::npos);
  EXPECT_FALSE(FileExists(threat));
}

TEST_F(BadInput, PathLongerThanMaxPath) {
  std::wstring dir = Temp();
  while (dir.size() < 280) dir = Dir(dir + L"\\" + std::wstring(60, L'd'));
  const std::wstring threat = dir + L"\\ssvchost.exe";
  File(L"\\\\?\\" + threat, kThreatSize);
  ASSERT_TRUE(FileExists(L"\\\\?\\" + threat));
  const std::wstring log = Purge(threat);
  // Either outcome is honest, as long as the log matches the disk.
  const bool gone = !FileExists(L"\\\\?\\" + threat);
  EXPECT_NE(log.find(FileLine(threat, gone ? L"Sukses" : L"Gagal")), std::wstring::npos);
}

TEST_F(BadInput, ThreatInUseIsDeletedAtTheNextRestart) {
  const std::wstring threat = File(Temp() + L"\\ssvchost.exe", kThreatSize);
  HANDLE holder = ::CreateFileW(threat.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::wstring log = Purge(threat);
  ::CloseHandle(holder);
  EXPECT_NE(
      log.find(FileLine(threat, L"Gagal") + L"            File akan dihapus saat komputer di-restart berikutnya\r\n"),
      std::wstring::npos);
  ASSERT_TRUE(FileExists(threat));

  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(threat));
}

// What the C++ library would throw ends the release's process with a
// message instead of a silent exit.
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
  }
}

}  // namespace
}  // namespace e2e
