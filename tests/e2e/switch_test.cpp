// The command line for scripts, with the real program: exit codes, no
// window, no box, no restart, and the log line.
#include <gtest/gtest.h>

#include "app/threat_profile.h"
#include "driver.h"

namespace e2e {
namespace {

using kolvane::RunKey;
using kolvane::RunServicesKey;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";

class Switches : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    log = std::wstring(temp) + L"kolvane switches.log";
    ::DeleteFileW(log.c_str());
    // A window of another instance: a restart request would end it.
    ASSERT_TRUE(window.started());
    ASSERT_NE(WaitForWindow(window.pid(), L"KolvaneForm1", kCaption), nullptr);
  }
  void TearDown() override {
    EXPECT_NE(WaitForWindow(window.pid(), L"KolvaneForm1", kCaption, 0), nullptr) << "a restart was requested";
    ::PostMessageW(WaitForWindow(window.pid(), L"KolvaneForm1", kCaption, 0), WM_CLOSE, 0, 0);
    window.WaitForExit(kTimeoutMs);
    Clean();
    ::DeleteFileW(log.c_str());
  }
  static void Clean() {
    ::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(ThreatPath().c_str());
    ::DeleteFileW(CopyPath().c_str());
    DeleteValueEverywhere(RunKey, L"ssvchost");
    DeleteValueEverywhere(RunServicesKey, L"ssvchost");
  }
  static void PlantThreat() {
    PlantFile(ThreatPath(), 110592);
    SetValue(RunKey, L"ssvchost", ThreatPath());
    SetValue(RunServicesKey, L"ssvchost", ThreatPath());
  }

  // Runs the program with the switch and the log; returns its exit code.
  DWORD Run(const std::wstring& arguments) {
    App app(arguments + L" /log:\"" + log + L"\"", ProgramPath(), false);
    EXPECT_TRUE(app.started());
    DWORD code = 999;
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs, &code)) << "it waited for someone";
    EXPECT_EQ(WaitForMessageBox(app.pid(), L"", 0), nullptr);
    return code;
  }

  // The log's lines without their time and computer name.
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::string text = ReadFileText(log);
    if (text.rfind("\xEF\xBB\xBF", 0) != 0) return {"no UTF-8 mark: " + text};
    text.erase(0, 3);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = text.substr(start, end - start);
      const std::size_t second = line.find('\t', line.find('\t') + 1);
      lines.push_back(line.substr(0, 2) == "20" && second != std::string::npos ? line.substr(second + 1) : line);
    }
    return lines;
  }

  std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  App window;
  std::wstring log;
};

TEST_F(Switches, ScanAndRemoveSayWhatTheyFoundByExitCode) {
  EXPECT_EQ(Run(L"/scan"), 0u);
  PlantThreat();
  EXPECT_EQ(Run(L"-SCAN"), 1u);
  EXPECT_TRUE(FileExists(ThreatPath()));
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_EQ(Run(L"/Remove"), 0u);
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"/scan\ttidak ditemukan\t0", "/scan\tditemukan: " + Narrow(ThreatPath()) + "\t1",
                                      "/remove\tregistry dikembalikan\t0"}));
}

TEST_F(Switches, BasmiRemovesNowOrAtTheRestartWithNothingLeftForALogon) {
  EXPECT_EQ(Run(L"/basmi"), 0u) << "nothing found";
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));

  // The threat runs and holds its read-only file: the system deletes it at
  // the restart, the values go now, and no logon has anything to do.
  PlantThreat();
  ASSERT_TRUE(::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  {
    const HANDLE held = ::CreateFileW(ThreatPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(L"/basmi"), 3010u);
    ::CloseHandle(held);
  }
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_FALSE(FileExists(CopyPath()));
  EXPECT_TRUE(FileExists(ThreatPath()));
  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_EQ(WaitForMessageBox(0, L"", 1000), nullptr) << "a box after the restart";

  // A start-up script, nothing holds the file: done now, read-only file
  // and our own Run value included.
  PlantThreat();
  SetValue(RunKey, L"ssvchost", L"\"" + CopyPath() + L"\" " + ThreatPath());
  ::SetFileAttributesW(ThreatPath().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(Run(L"/basmi"), 0u);
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  const std::string found = "/basmi\tditemukan: " + Narrow(ThreatPath());
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"/basmi\ttidak ditemukan\t0",
                                      found + "; file sedang dipakai, dihapus setelah restart; registry dihapus\t3010",
                                      found + "; file dan registry dihapus\t0"}));
}

TEST_F(Switches, AnyOtherArgumentIsStillAPathToPurge) {
  App app(L"/scanx");
  HWND box = WaitForMessageBox(app.pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), PurgeLog(L"Gagal", L"/scanx", L"Gagal"));
  PressOk(box);
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
}

}  // namespace
}  // namespace e2e
