#include <set>

#include "form_fixture.h"

namespace kolvane {
namespace {

class ArmingTest : public FormTest {
 protected:
  // Starts the program from the given executable and scans an infected machine.
  void StartInfected(const std::wstring& module = L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe") {
    m.process.moduleFileName = module;
    if (!module.empty()) m.files.files[module] = kProgramSize;
    ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
    PlantThreat();
    form.Command1_Click();
    ASSERT_EQ(form.Infected, 1);
    m.dialogs.messages.clear();
  }

  std::wstring RunValue() const { return m.registry.Value(RunKey, L"ssvchost"); }
};

TEST_F(ArmingTest, RefusesBeforeAnyScan) {
  PlantThreat();
  ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  const auto before = Keys();
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{L"Scan Windows Dulu"});
  EXPECT_EQ(Keys(), before);
  EXPECT_EQ(m.power.restartRequests, 0);
}

TEST_F(ArmingTest, WritesBothValuesWarnsWaitsAndRestarts) {
  StartInfected();
  form.Command2_Click();
  EXPECT_EQ(RunValue(), L"\"C:\\WINDOWS\\KolvaneBackdoorHeliosB.exe\" C:\\WINDOWS\\system32\\ssvchost.exe");
  EXPECT_TRUE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(m.registry.Value(RunServicesKey, L"ssvchost"), L"");
  EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{L"Komputer Anda akan di restart dalam 10 detik"});
  EXPECT_EQ(m.power.restartRequests, 1);
  EXPECT_EQ(m.registry.openKeys, 0);
  EXPECT_EQ(Recorded(),
            L"Basmi Virus | menunggu-restart | ditemukan: C:\\WINDOWS\\system32\\ssvchost.exe; Komputer "
            L"Anda akan di restart dalam 10 detik | 3010");
  EXPECT_EQ(MessageFile(), L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe");
}

TEST_F(ArmingTest, NothingIsArmedWhenTheProgramsOwnPathIsUnknown) {
  StartInfected(L"");
  const auto before = Keys();
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages,
            std::vector<std::wstring>{L"Lokasi program ini tidak dapat dibaca, registry tidak diubah."});
  EXPECT_EQ(Keys(), before);
  EXPECT_EQ(Recorded(), L"Basmi Virus | ditolak | Lokasi program ini tidak dapat dibaca, registry tidak diubah. | 5");
  EXPECT_EQ(MessageFile(), L"") << "no file to name";
  EXPECT_EQ(m.power.restartRequests, 0);
  EXPECT_EQ(m.clock.waits, 0);
}

TEST_F(ArmingTest, RunValueStartsACopyInTheWindowsDirectoryWhereverTheProgramLies) {
  // A stick, a share, Downloads: gone or changeable by the next logon.
  for (const std::wstring module : {L"E:\\kolvane-copy.exe", L"\\\\server\\tools\\KolvaneBackdoorHeliosB.exe",
                                    L"C:\\Users\\ani\\Downloads\\KolvaneBackdoorHeliosB (1).exe"}) {
    SCOPED_TRACE(module);
    m = {};
    m.process.currentDir = L"C:\\";
    StartInfected(module);
    form.Command2_Click();
    EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threatPath);
    EXPECT_EQ(m.files.files.count(copyPath), 1u);
    EXPECT_EQ(m.files.files.count(module), 1u) << "the program itself stays";
  }
}

TEST_F(ArmingTest, ProgramAlreadyInTheWindowsDirectoryIsNotCopied) {
  StartInfected(L"C:\\windows\\kolvanebackdoorheliosb.exe");
  m.files.refuseWrites.insert(copyPath);
  form.Command2_Click();
  EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threatPath);
  EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{L"Komputer Anda akan di restart dalam 10 detik"});
}

TEST_F(ArmingTest, NothingIsArmedWhenTheCopyCannotBeMade) {
  // A copy that fails; one refused for lack of rights (UAC declined, a
  // limited account on XP), which says to run the program as Administrator;
  // and a program whose file its user replaced before it could hold it.
  enum Kind { kFails, kRefused, kReplaced };
  const std::pair<Kind, std::wstring> cases[] = {
      {kFails, L"Program ini tidak dapat disalin ke folder Windows, registry tidak diubah."},
      {kRefused, L"Registry tidak dapat diubah. Jalankan program ini sebagai Administrator."},
      {kReplaced, L"Program ini tidak dapat disalin ke folder Windows, registry tidak diubah."}};
  for (const auto& [kind, message] : cases) {
    m = {};
    m.files.programReplaced = kind == kReplaced;
    StartInfected();
    if (kind != kReplaced) (kind == kRefused ? m.files.denied : m.files.refuseWrites).insert(copyPath);
    const auto before = Keys();
    form.Command2_Click();
    EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{message});
    EXPECT_EQ(Keys(), before);
    EXPECT_EQ(m.clock.waits, 0);
  }
}

TEST_F(ArmingTest, ACopyThatRunsIsMovedAsideAndLeavesAtTheRestart) {
  // A copy an earlier arming left, started by a user or a logon, cannot be
  // written while it runs; it can be renamed.
  StartInfected();
  m.files.files[copyPath] = 1000;
  m.files.locked.insert(copyPath);
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages.front(), L"Komputer Anda akan di restart dalam 10 detik");
  EXPECT_EQ(m.files.files.at(copyPath), kProgramSize);
  EXPECT_EQ(m.files.files.at(copyPath + L".old"), 1000u);
  EXPECT_EQ(m.files.deleteAtRestart, std::vector<std::wstring>{copyPath + L".old"});
  EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threatPath);

  // One that cannot even be moved aside arms nothing.
  m = {};
  StartInfected();
  m.files.files[copyPath] = 1000;
  m.files.locked.insert(copyPath);
  m.files.refuseWrites.insert(copyPath + L".old");
  const auto before = Keys();
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages,
            std::vector<std::wstring>{L"Program ini tidak dapat disalin ke folder Windows, registry tidak diubah."});
  EXPECT_EQ(Keys(), before);
  EXPECT_EQ(m.files.files.at(copyPath), 1000u);
}

TEST_F(ArmingTest, TheCopyIsTheProgramHeldSinceTheStartNotWhatItsPathHoldsNow) {
  // The user who started it renames it and puts another file at its path.
  StartInfected();
  m.files.files[m.process.moduleFileName] = 999;
  form.Command2_Click();
  EXPECT_EQ(m.files.files.at(copyPath), kProgramSize);
}

TEST_F(ArmingTest, ARunningThreatInEitherHalfIsEndedBeforeAnyValueIsWritten) {
  // A backdoor that guards its Run value would write it back after the
  // arming, and the restart would start it instead of the purge.
  m.process.wow64 = true;
  PlantThreat64();
  StartInfected();
  const std::set<std::wstring> images = {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe",
                                         L"C:\\WINDOWS\\System32\\ssvchost.exe"};
  m.process.running = {images.begin(), images.end()};
  bool armedFirst = false;
  m.process.onEnded = [&](const std::wstring&) { armedFirst |= RunValue() != threatPath; };
  form.Command2_Click();
  EXPECT_TRUE(m.process.running.empty());
  EXPECT_EQ(std::set<std::wstring>(m.process.endRequests.begin(), m.process.endRequests.end()), images);
  EXPECT_EQ(m.process.endsBeforeLock, std::vector<std::size_t>{2}) << "a threat could hold anything";
  EXPECT_FALSE(armedFirst);
  EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threatPath);
}

TEST_F(ArmingTest, NothingChangesWhileAnotherRunChangesTheMachine) {
  // A start-up script's /basmi, or the window in another session: Basmi
  // Virus, Remove Registry and the purge each wait for it, then say so.
  const std::wstring busy = L"Program ini sedang membasmi virus di proses lain. Tunggu sampai selesai, lalu coba lagi.";
  // No box waits for the user, nor the countdown runs, while the others
  // are kept waiting.
  StartInfected();
  bool lockedWhileShown = false;
  m.dialogs.onShow = [&] { lockedWhileShown |= m.process.locked; };
  m.clock.onEvent = [&] { lockedWhileShown |= m.process.locked; };
  form.Command2_Click();
  form.Command3_Click();
  ASSERT_EQ(m.dialogs.messages.size(), 2u);
  EXPECT_FALSE(lockedWhileShown);

  m = {};
  StartInfected();
  m.process.lockAnswer = LockResult::Busy;
  const auto registry = Keys();
  const auto files = m.files.files;
  form.Command2_Click();
  form.Command3_Click();
  EXPECT_EQ(m.dialogs.messages, (std::vector<std::wstring>{busy, busy}));
  EXPECT_EQ(m.power.restartRequests, 0);

  Form1 purge(m.platform(), m.view);
  m.process.commandLine = L"\"" + copyPath + L"\" " + threatPath;
  EXPECT_EQ(purge.Form_Load(), Form1::AfterLoad::ProcessEnded);
  EXPECT_EQ(m.dialogs.messages.back(), busy);
  EXPECT_EQ(m.process.exitCodes, std::vector<int>{0});
  EXPECT_EQ(Keys(), registry);
  EXPECT_EQ(m.files.files, files);
  EXPECT_EQ(m.process.lockWaits, (std::vector<unsigned>{30000, 30000, 30000}));
}

TEST_F(ArmingTest, RunValueStartsThePurgeOfTheThreat) {
  // What the Run value holds, started as a command line, purges the threat.
  StartInfected(L"C:\\Program Files\\K\\KolvaneBackdoorHeliosB.exe");
  form.Command2_Click();
  const std::wstring runValue = RunValue();

  fake::FakeMachine after;
  after.files.files[threatPath] = kThreatSize;
  after.process.commandLine = runValue;
  Form1 rebooted(after.platform(), after.view);
  EXPECT_EQ(rebooted.Form_Load(), Form1::AfterLoad::ProcessEnded);
  EXPECT_EQ(rebooted.CommandArg, threatPath);
  EXPECT_TRUE(after.files.files.empty());
}

TEST_F(ArmingTest, CountdownLastsTenSecondsOfTheMonotonicClockAndPumpsEvents) {
  StartInfected();
  // The wall clock would cross midnight here; the monotonic clock knows nothing of it.
  m.clock.now = 86395.0;
  m.clock.eventEvery = 0.25;
  int restartsDuringWait = 0;
  m.clock.onEvent = [&] { restartsDuringWait += m.power.restartRequests; };
  form.Command2_Click();
  EXPECT_DOUBLE_EQ(m.clock.now, 86405.0);
  EXPECT_EQ(m.clock.pumps, 40);
  EXPECT_EQ(restartsDuringWait, 0);
  EXPECT_EQ(m.power.restartRequests, 1);
  for (const double request : m.clock.waitRequests) EXPECT_GT(request, 0.0);
}

TEST_F(ArmingTest, CountdownSleepsInsteadOfSpinning) {
  StartInfected();
  form.Command2_Click();
  // With no events queued, one wait covers the whole ten seconds.
  EXPECT_EQ(m.clock.waits, 1);
  ASSERT_EQ(m.clock.waitRequests.size(), 1u);
  EXPECT_DOUBLE_EQ(m.clock.waitRequests[0], 10.0);
}

TEST_F(ArmingTest, RefusedRestartIsReportedAndTheValuesStay) {
  StartInfected();
  m.power.accept = false;
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages,
            (std::vector<std::wstring>{L"Komputer Anda akan di restart dalam 10 detik",
                                       L"Gagal me-restart komputer. Silakan restart komputer Anda secara manual."}));
  EXPECT_TRUE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_TRUE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
}

TEST_F(ArmingTest, RefusedRunWriteStopsBeforeTheCountdown) {
  StartInfected();
  m.registry.denied.insert(RunKey);
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages,
            std::vector<std::wstring>{L"Registry tidak dapat diubah. Jalankan program ini sebagai Administrator."});
  EXPECT_EQ(m.clock.waits, 0);
  EXPECT_EQ(m.power.restartRequests, 0);
  EXPECT_EQ(RunValue(), threatPath) << "the threat's own value is untouched";
  EXPECT_EQ(m.files.files.count(copyPath), 0u) << "the copy does not stay";
}

TEST_F(ArmingTest, RefusedRunServicesWriteDoesNotStopTheArming) {
  StartInfected();
  m.registry.denied.insert(RunServicesKey);
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{L"Komputer Anda akan di restart dalam 10 detik"});
  EXPECT_EQ(m.power.restartRequests, 1);
}

TEST_F(ArmingTest, OnA64BitWindowsNothingStartsTheThreatFromEitherHalf) {
  // Only the 64-bit half holds the threat: the purge is told that file.
  m.process.wow64 = true;
  PlantThreat64();
  StartInfected();
  m.files.files.erase(threatPath);
  form.Command2_Click();
  EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threat64);
  EXPECT_FALSE(m.registry.HasValue(fake::Key64(RunKey), L"ssvchost"));
  EXPECT_FALSE(m.registry.HasValue(fake::Key64(RunServicesKey), L"ssvchost"));
  EXPECT_EQ(m.power.restartRequests, 1);
}

TEST_F(ArmingTest, ARecordThatWindowsShouldSkipTheValueIsRemoved) {
  // Task Manager keeps "disabled" by value name; the 32-bit half's records
  // are in Run32 of the 64-bit view.
  const std::wstring approved = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
  for (const bool wow64 : {false, true}) {
    SCOPED_TRACE(wow64);
    m = {};
    m.process.wow64 = wow64;
    const std::wstring record = wow64 ? fake::Key64(approved + L"32") : approved;
    m.registry.SetValue(record, L"ssvchost", L"\x03");
    m.registry.SetValue(record, L"other", L"\x03");
    StartInfected();
    form.Command2_Click();
    EXPECT_FALSE(m.registry.HasValue(record, L"ssvchost"));
    EXPECT_TRUE(m.registry.HasValue(record, L"other"));
    EXPECT_EQ(m.power.restartRequests, 1);
  }
}

TEST_F(ArmingTest, Refused64BitHalfArmsNothing) {
  PlantThreat64();
  StartInfected();
  m.registry.undeletable.insert(fake::Key64(RunKey) + L"\\ssvchost");
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages,
            std::vector<std::wstring>{L"Registry tidak dapat diubah. Jalankan program ini sebagai Administrator."});
  EXPECT_EQ(RunValue(), threatPath);
  EXPECT_EQ(m.files.files.count(copyPath), 0u);
  EXPECT_EQ(m.power.restartRequests, 0);
}

TEST_F(ArmingTest, DuringTheCountdownNothingDisarmsOrArmsAgain) {
  StartInfected();
  int clicks = 0;
  m.clock.eventEvery = 1.0;
  m.clock.onEvent = [&] {
    if (clicks++ > 0) return;
    form.Command3_Click();
    form.Command2_Click();
    form.Command1_Click();
  };
  form.Command2_Click();
  EXPECT_EQ(RunValue(), L"\"" + copyPath + L"\" " + threatPath) << "Remove Registry must not disarm";
  EXPECT_EQ(m.dialogs.messages, std::vector<std::wstring>{L"Komputer Anda akan di restart dalam 10 detik"});
  EXPECT_EQ(m.power.restartRequests, 1);
  EXPECT_EQ(m.clock.pumps, 10) << "one countdown, not two";
  // Once the restart was asked for (and perhaps refused) they answer again.
  form.Command3_Click();
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
}

TEST(WriteRegString, CreatesMissingParentsReplacesAndStoresEmpty) {
  fake::FakeRegistry registry;
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, L"Software\\A\\B", L"v", L"one"));
  EXPECT_TRUE(registry.HasKey(L"Software\\A"));
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, L"Software\\A\\B", L"v", L"two"));
  EXPECT_EQ(registry.Value(L"Software\\A\\B", L"v"), L"two");
  EXPECT_TRUE(WriteRegString(registry, RegRoot::LocalMachine, L"Software\\A\\B", L"empty", L""));
  EXPECT_TRUE(registry.HasValue(L"Software\\A\\B", L"empty"));
  registry.denied.insert(L"Software\\C");
  EXPECT_FALSE(WriteRegString(registry, RegRoot::LocalMachine, L"Software\\C", L"v", L"x"));
  EXPECT_EQ(registry.openKeys, 0);
}

}  // namespace
}  // namespace kolvane
