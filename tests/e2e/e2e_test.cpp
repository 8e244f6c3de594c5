// The real program under Wine and Xvfb, driven through its window.
#include <gtest/gtest.h>

#include "app/threat_profile.h"
#include "driver.h"

namespace e2e {
namespace {

using kolvane::RunKey;
using kolvane::RunServicesKey;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";
constexpr wchar_t kBoxTitle[] = L"Virus Windows Kolvane";
constexpr DWORD kThreatSize = 110592;

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }

  static void Clean() {
    ::DeleteFileW(ThreatPath().c_str());
    DeleteValue(RunKey, L"ssvchost");
    DeleteValue(RunServicesKey, L"ssvchost");
  }

  static void PlantThreat() {
    PlantFile(ThreatPath(), kThreatSize);
    SetValue(RunKey, L"ssvchost", ThreatPath());
    SetValue(RunServicesKey, L"ssvchost", ThreatPath());
  }

  // Waits for the program's message box, checks its caption and text, and presses OK.
  static void Answer(DWORD pid, const std::wstring& expected) {
    HWND box = WaitForMessageBox(pid);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(WindowText(box), kBoxTitle);
    EXPECT_EQ(MessageBoxText(box), expected);
    EXPECT_EQ(PlainBoxFault(box), L"") << "OK only, no icon";
    EXPECT_TRUE(PressOk(box));
  }
};

TEST_F(EndToEnd, PurgeFromTheCommandLineShowsOnlyItsLog) {
  PlantThreat();
  App app(ThreatPath());
  ASSERT_TRUE(app.started());
  HWND box = WaitForMessageBox(app.pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), kBoxTitle);
  EXPECT_EQ(MessageBoxText(box), PurgeLog(L"Sukses", ThreatPath(), L"Sukses"));
  EXPECT_EQ(PlainBoxFault(box), L"") << "OK only, no icon";
  EXPECT_EQ(WaitForWindow(app.pid(), L"KolvaneForm1", kCaption, 0), nullptr) << "the window must never show";
  PressOk(box);
  ASSERT_TRUE(app.WaitForExit(kTimeoutMs));
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
}

TEST_F(EndToEnd, PurgeLeavesAFileWithoutTheSignature) {
  PlantFile(ThreatPath(), kThreatSize - 1);
  SetValue(RunKey, L"ssvchost", ThreatPath());
  App app(L"\"" + ThreatPath() + L"\"");
  ASSERT_TRUE(app.started());
  Answer(app.pid(), PurgeLog(L"Sukses", ThreatPath(), L"Gagal"));
  ASSERT_TRUE(app.WaitForExit(kTimeoutMs));
  EXPECT_TRUE(FileExists(ThreatPath()));
}

TEST_F(EndToEnd, ScanCleanThenInfectedAndRemoveRegistry) {
  App app;
  ASSERT_TRUE(app.started());
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  EXPECT_NE(FindChild(form, L"Button", L"Basmi Virus Backdoor.Helios.B"), nullptr);

  ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
  Answer(app.pid(), L"Scan Windows Dulu");

  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  Answer(app.pid(), L"System Windows Anda Bebas Virus Backdoor.Helios.B");

  PlantThreat();
  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  Answer(app.pid(), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");

  ASSERT_TRUE(ClickButton(form, L"Remove Registry"));
  Answer(app.pid(), L"Sukses Mengembalikan registry");
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_TRUE(FileExists(ThreatPath()));

  ::PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
}

TEST_F(EndToEnd, EradicationAcrossARestart) {
  App app;
  ASSERT_TRUE(app.started());
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  PlantThreat();
  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  Answer(app.pid(), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");

  ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
  HWND warning = WaitForMessageBox(app.pid());
  ASSERT_NE(warning, nullptr);
  EXPECT_EQ(MessageBoxText(warning), L"Komputer Anda akan di restart dalam 10 detik");
  EXPECT_EQ(PlainBoxFault(warning), L"") << "OK only, no icon";
  std::wstring run;
  ASSERT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
  EXPECT_EQ(run, L"\"" + ProgramPath() + L"\" " + ThreatPath());
  std::wstring services = L"not empty";
  ASSERT_TRUE(ReadValue(RunServicesKey, L"ssvchost", &services));
  EXPECT_EQ(services, L"");

  const ULONGLONG dismissed = ::GetTickCount64();
  PressOk(warning);
  // The window keeps working during the countdown: another button answers.
  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  Answer(app.pid(), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");
  EXPECT_LT(::GetTickCount64() - dismissed, 9000u) << "the scan should have answered within the countdown";

  // Wine's end of session ends the program, then starts the Run values:
  // the purge runs as a new process.
  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", 40000);
  ASSERT_NE(log, nullptr) << "the purge did not start after the restart";
  const ULONGLONG elapsed = ::GetTickCount64() - dismissed;
  EXPECT_GE(elapsed, 9500u) << "the restart came before the countdown ended";
  EXPECT_NE(ProcessOf(log), app.pid());
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs)) << "the end of session closes the armed program";
  EXPECT_EQ(MessageBoxText(log), PurgeLog(L"Sukses", ThreatPath(), L"Sukses"));
  EXPECT_EQ(PlainBoxFault(log), L"") << "OK only, no icon";

  HANDLE purge = ::OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(log));
  PressOk(log);
  if (purge != nullptr) {
    EXPECT_EQ(::WaitForSingleObject(purge, kTimeoutMs), WAIT_OBJECT_0);
    ::CloseHandle(purge);
  }
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
}

}  // namespace
}  // namespace e2e
