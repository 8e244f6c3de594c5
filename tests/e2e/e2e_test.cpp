// The real program under Wine and Xvfb, driven through its window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "app/threat_profile.h"
#include "driver.h"

namespace e2e {
namespace {

using kolvane::RunKey;
using kolvane::RunServicesKey;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";
constexpr wchar_t kBoxTitle[] = L"Virus Windows Kolvane";
constexpr DWORD kThreatSize = 110592;
// Task Manager's record that the user disabled a start-up entry; Run32 for
// the 32-bit half's entries, in the 64-bit view.
constexpr wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }

  static void Clean() {
    for (const std::wstring& file : {ThreatPath(), CopyPath(), CopyPath() + L".old"}) RemoveFile(file);
    DeleteValueEverywhere(RunKey, L"ssvchost");
    DeleteValueEverywhere(RunServicesKey, L"ssvchost");
  }

  static void PlantThreat() {
    PlantFile(ThreatPath(), kThreatSize);
    SetValue(RunKey, L"ssvchost", ThreatPath());
    SetValue(RunServicesKey, L"ssvchost", ThreatPath());
  }

  // Scans the infected machine through the window and presses Basmi Virus:
  // the arming's warning, still open, or null.
  static HWND ScanAndArm(HWND form, DWORD pid) {
    if (!ClickButton(form, L"Scan Windows Anda")) return nullptr;
    Answer(pid, L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");
    if (!ClickButton(form, L"Basmi Virus Backdoor.Helios.B")) return nullptr;
    HWND warning = WaitForMessageBox(pid);
    if (warning != nullptr) {
      EXPECT_EQ(MessageBoxText(warning), L"Komputer Anda akan di restart dalam 10 detik");
    }
    return warning;
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
  // Someone disabled the entry in Task Manager: Windows 8 and later would
  // skip the value the arming writes. Wine keeps the record but ignores it.
  // For the 32-bit program on 64-bit Windows, the record of its half's Run
  // key is Run32 in the 64-bit view.
  const std::wstring approved = std::wstring(kApproved) + (IsWow64() ? L"32" : L"");
  const REGSAM view = IsWow64() ? KEY_WOW64_64KEY : 0;
  SetValue(approved, L"ssvchost", L"disabled", view);
  SetValue(approved, L"other", L"disabled", view);
  // A copy an earlier run left read-only and hidden is replaced.
  PlantFile(CopyPath(), 10);
  ::SetFileAttributesW(CopyPath().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  // Whoever started the program cannot put another file in its place:
  // the copy the Run value starts is the program that was started.
  const std::wstring moved = ProgramPath() + L".moved";
  EXPECT_FALSE(::MoveFileW(ProgramPath().c_str(), moved.c_str()));
  if (FileExists(moved)) ::MoveFileW(moved.c_str(), ProgramPath().c_str());
  HWND warning = ScanAndArm(form, app.pid());
  ASSERT_NE(warning, nullptr);
  EXPECT_EQ(PlainBoxFault(warning), L"") << "OK only, no icon";
  std::wstring run;
  ASSERT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
  EXPECT_EQ(run, L"\"" + CopyPath() + L"\" " + ThreatPath());
  EXPECT_TRUE(FileExists(CopyPath())) << "the Run value must start a copy that is there at the next logon";
  EXPECT_TRUE(ReadFileText(CopyPath()) == ReadFileText(ProgramPath())) << "the copy is the program, byte for byte";
  EXPECT_FALSE(ReadValue(approved, L"ssvchost", nullptr, view)) << "Windows would skip the purge";
  EXPECT_TRUE(ReadValue(approved, L"other", nullptr, view));
  DeleteValue(approved, L"other", view);
  std::wstring services = L"not empty";
  ASSERT_TRUE(ReadValue(RunServicesKey, L"ssvchost", &services));
  EXPECT_EQ(services, L"");

  const ULONGLONG dismissed = ::GetTickCount64();
  PressOk(warning);
  // During the countdown the window answers, but nothing disarms or arms
  // again: Remove Registry and Basmi Virus do nothing.
  ASSERT_TRUE(ClickButton(form, L"Remove Registry"));
  ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
  EXPECT_EQ(WaitForMessageBox(app.pid(), L"", 1500), nullptr) << "a button answered during the countdown";
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0u) << "the window hangs";
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost", &run)) << "Remove Registry undid the arming";
  EXPECT_LT(::GetTickCount64() - dismissed, 9000u) << "the window should have answered within the countdown";

  // Wine's end of session ends the program, then starts the Run values:
  // the purge runs as a new process.
  // A new process: where Wine's 32-bit half is emulated it takes a minute.
  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", std::max<DWORD>(40000, 3 * kTimeoutMs));
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
  // The copy ran the purge and goes at the next restart, under a name of its
  // own, so that a new arming before then keeps its copy.
  EXPECT_FALSE(FileExists(CopyPath()));
  EXPECT_TRUE(FileExists(CopyPath() + L".old"));
  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(CopyPath() + L".old"));
}

TEST_F(EndToEnd, ARunningThreatThatGuardsItsValueIsEndedBeforeTheArming) {
  // The backdoor runs from its place and writes its Run value back every
  // 50 ms; the restart would start it again.
  PlantProgram(ThreatPath(), kThreatSize);
  App threat(L"guard", ThreatPath(), false);
  ASSERT_TRUE(threat.started());
  std::wstring run;
  for (const ULONGLONG start = ::GetTickCount64(); !(ReadValue(RunKey, L"ssvchost", &run) && run == ThreatPath());) {
    ASSERT_LT(::GetTickCount64() - start, kTimeoutMs) << "the stand-in never wrote its value";
    ::Sleep(20);
  }
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  ASSERT_NE(ScanAndArm(form, app.pid()), nullptr);
  EXPECT_TRUE(threat.WaitForExit(0)) << "the threat still runs";
  ::Sleep(1500);
  ASSERT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
  EXPECT_EQ(run, L"\"" + CopyPath() + L"\" " + ThreatPath()) << "the threat wrote its value back";
  // No restart: the program ends here, with the box still open.
}

// The program's own file with the image size in its header raised to
// 16 MiB, far past what the loader maps for the program that runs.
void PlantLargerImage(const std::wstring& path) {
  std::string bytes = ReadFileText(ProgramPath());
  DWORD ntOffset = 0;
  ASSERT_GT(bytes.size(), 0x40u);
  std::memcpy(&ntOffset, bytes.data() + 0x3C, sizeof(ntOffset));
  const std::size_t at = ntOffset + 4 + sizeof(IMAGE_FILE_HEADER) + offsetof(IMAGE_OPTIONAL_HEADER, SizeOfImage);
  ASSERT_LE(at + sizeof(DWORD), bytes.size());
  const DWORD size = 16u << 20;
  std::memcpy(bytes.data() + at, &size, sizeof(size));
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

TEST_F(EndToEnd, AProgramSwappedAtItsStartIsNeverArmed) {
  // Its user renames the program's file before it runs its first
  // instruction and puts another program at its name: a program of its
  // own, or this program with a larger image in its header.
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring dir = std::wstring(temp) + L"kolvane-swapped";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring program = dir + L"\\KolvaneBackdoorHeliosB.exe";
  const std::wstring aside = program + L".old";
  for (const bool larger : {false, true}) {
    SCOPED_TRACE(larger ? "a larger image" : "another program");
    ::DeleteFileW(aside.c_str());
    ASSERT_TRUE(::CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE));
    App app(L"", program, false, true);
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(::MoveFileW(program.c_str(), aside.c_str()));
    if (larger)
      PlantLargerImage(program);
    else
      PlantProgram(program, 30000);
    app.Resume();
    HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
    ASSERT_NE(form, nullptr) << DescribeProcess(app.pid());
    PlantThreat();
    ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
    Answer(app.pid(), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");
    ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
    Answer(app.pid(), L"Program ini tidak dapat disalin ke folder Windows, registry tidak diubah.");
    std::wstring run;
    EXPECT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
    EXPECT_EQ(run, ThreatPath()) << "armed with another program";
    EXPECT_FALSE(FileExists(CopyPath()));
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
    ::DeleteFileW(program.c_str());
  }
  ::DeleteFileW(aside.c_str());
  ::RemoveDirectoryW(dir.c_str());
}

// On 64-bit Windows the threat in the 64-bit half (its System32 and Run
// keys), alone or with the 32-bit half too: one eradication across a
// restart removes it from both. Only a 32-bit program on 64-bit Windows
// has both halves, so only the 32-bit run of these tests does this.
class BothHalves : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!IsWow64()) GTEST_SKIP() << "a 32-bit program on 64-bit Windows has the two halves";
    wchar_t dir[MAX_PATH] = {};
    ::GetWindowsDirectoryW(dir, MAX_PATH);
    threat64 = ThreatPath64();
    shown64 = std::wstring(dir) + L"\\System32\\ssvchost.exe (64-bit)";
    Clean();
  }
  void TearDown() override {
    if (IsWow64()) Clean();
  }
  void Clean() {
    for (const std::wstring& file : {ThreatPath(), threat64, CopyPath(), CopyPath() + L".old"}) {
      RemoveFile(file);
    }
    DeleteValueEverywhere(RunKey, L"ssvchost");
    DeleteValueEverywhere(RunServicesKey, L"ssvchost");
  }

  std::wstring threat64, shown64;
};

TEST_P(BothHalves, EradicationAcrossARestart) {
  const bool also32 = GetParam();
  PlantFile(threat64, kThreatSize);
  SetValue(RunKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", KEY_WOW64_64KEY);
  SetValue(RunServicesKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", KEY_WOW64_64KEY);
  if (also32) {
    PlantFile(ThreatPath(), kThreatSize);
    SetValue(RunKey, L"ssvchost", ThreatPath());
  }
  const std::wstring approved32 = std::wstring(kApproved) + L"32";
  SetValue(approved32, L"ssvchost", L"disabled", KEY_WOW64_64KEY);
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  HWND box = WaitForMessageBox(app.pid());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");
  PressOk(box);

  ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
  HWND warning = WaitForMessageBox(app.pid(), L"Komputer Anda akan di restart dalam 10 detik");
  ASSERT_NE(warning, nullptr);
  // Nothing starts the threat from the 64-bit Run key; the purge is told
  // the file in this program's half when it holds one.
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost", nullptr, KEY_WOW64_64KEY));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost", nullptr, KEY_WOW64_64KEY));
  std::wstring run;
  ASSERT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
  EXPECT_EQ(run, L"\"" + CopyPath() + L"\" " + (also32 ? ThreatPath() : threat64));
  EXPECT_TRUE(ReadFileText(CopyPath()) == ReadFileText(ProgramPath())) << "the copy is the program, byte for byte";
  EXPECT_FALSE(ReadValue(approved32, L"ssvchost", nullptr, KEY_WOW64_64KEY)) << "Windows would skip the purge";
  PressOk(warning);

  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", 3 * kTimeoutMs);
  ASSERT_NE(log, nullptr) << "the purge did not start after the restart";
  std::wstring expected = PurgeLog(L"Sukses", also32 ? ThreatPath() : shown64, L"Sukses");
  if (also32) expected += L"            Proses menghapus file " + shown64 + L" ... Sukses\r\n";
  EXPECT_EQ(MessageBoxText(log), expected);
  HANDLE purge = ::OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(log));
  PressOk(log);
  if (purge != nullptr) {
    EXPECT_EQ(::WaitForSingleObject(purge, kTimeoutMs), WAIT_OBJECT_0);
    ::CloseHandle(purge);
  }
  EXPECT_FALSE(FileExists(threat64));
  EXPECT_FALSE(FileExists(ThreatPath()));
  for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    EXPECT_FALSE(ReadValue(RunKey, L"ssvchost", nullptr, view)) << view;
    EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost", nullptr, view)) << view;
  }
}

// The system applies its list of deletions at the restart as a 64-bit
// program: a deletion of the 32-bit half's held threat must not land on a
// file of the same name in the 64-bit System32.
using ThreatInWow64 = BothHalves;
TEST_F(ThreatInWow64, ARestartDeletesTheHeldThreatInItsOwnHalfOnly) {
  PlantFile(ThreatPath(), kThreatSize);
  PlantFile(threat64, 10);
  SetValue(RunKey, L"ssvchost", ThreatPath());
  const HANDLE held = ::CreateFileW(Real(ThreatPath()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  {
    App app(ThreatPath());
    HWND log = WaitForMessageBox(app.pid(), L"", 3 * kTimeoutMs);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(MessageBoxText(log), PurgeLog(L"Sukses", ThreatPath(), L"Gagal") +
                                       L"            File akan dihapus saat komputer di-restart berikutnya\r\n");
    PressOk(log);
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
  }
  ::CloseHandle(held);
  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_TRUE(FileExists(threat64)) << "the 64-bit half's other file was deleted";
}

// /basmi from the 32-bit program, the threat in both halves.
DWORD RunBasmi() {
  App app(L"/basmi", ProgramPath(), false);
  DWORD code = 999;
  EXPECT_TRUE(app.WaitForExit(3 * kTimeoutMs, &code)) << "it waited for someone";
  return code;
}

TEST_F(ThreatInWow64, BasmiEndsTheThreatRunningInEitherHalf) {
  // A 32-bit stand-in runs from SysWOW64 and a 64-bit one from the 64-bit
  // System32: the 32-bit program reads a 64-bit process's program file too.
  PlantProgram(ThreatPath(), kThreatSize, StandIn(32));
  PlantProgram(threat64, kThreatSize, StandIn(64));
  SetValue(RunKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", KEY_WOW64_64KEY);
  App running32(L"", ThreatPath(), false);
  App running64(L"", threat64, false);
  ASSERT_TRUE(running32.started() && running64.started());
  ASSERT_TRUE(WaitUntilRunning(running32.pid()) && WaitUntilRunning(running64.pid()));
  EXPECT_EQ(RunBasmi(), 0u);
  EXPECT_TRUE(running32.WaitForExit(kTimeoutMs)) << "the 32-bit threat still runs";
  EXPECT_TRUE(running64.WaitForExit(kTimeoutMs)) << "the 64-bit threat still runs";
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(FileExists(threat64));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost", nullptr, KEY_WOW64_64KEY));
}

TEST_F(ThreatInWow64, BasmiLeavesWhatIsHeldInEitherHalfToTheRestartAlone) {
  PlantFile(ThreatPath(), kThreatSize);
  PlantFile(threat64, kThreatSize);
  for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    SetValue(RunKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", view);
    SetValue(RunServicesKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", view);
  }
  HANDLE held[2] = {};
  for (int i = 0; i < 2; ++i) {
    held[i] = ::CreateFileW(Real(i == 0 ? ThreatPath() : threat64).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held[i], INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(RunBasmi(), 3010u);
  for (const HANDLE file : held) ::CloseHandle(file);
  EXPECT_FALSE(FileExists(CopyPath()));
  for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    EXPECT_FALSE(ReadValue(RunKey, L"ssvchost", nullptr, view)) << view;
    EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost", nullptr, view)) << view;
  }
  ASSERT_TRUE(RunWineboot());
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(FileExists(threat64));
  EXPECT_EQ(WaitForMessageBox(0, L"", 1500), nullptr) << "a box after the restart";
}

INSTANTIATE_TEST_SUITE_P(ThreatIn, BothHalves, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("BothHalves") : std::string("The64BitHalfOnly");
                         });

}  // namespace
}  // namespace e2e
