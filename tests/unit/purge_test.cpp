#include "form_fixture.h"

namespace kolvane {
namespace {

class PurgeTest : public FormTest {
 protected:
  // Runs the program as the Run value starts it after the restart and
  // returns the one log it shows.
  std::wstring Purge(const std::wstring& argument) {
    EXPECT_EQ(Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\" " + argument), Form1::AfterLoad::ProcessEnded);
    EXPECT_EQ(m.process.endCalls, 1);
    EXPECT_EQ(m.registry.openKeys, 0) << "a key was left open";
    EXPECT_EQ(m.dialogs.messages.size(), 1u);
    return m.dialogs.messages.empty() ? L"" : m.dialogs.messages.front();
  }

  static std::wstring Log(const std::wstring& registry, const std::wstring& path, const std::wstring& file) {
    return L"Proses Pembasmian Virus...\r\n            Proses mengubah registri ... " + registry +
           L"\r\n            Proses menghapus file " + path + L" ... " + file + L"\r\n";
  }
};

TEST_F(PurgeTest, AllPresentEverythingGoes) {
  PlantThreat();
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_TRUE(m.files.files.empty());
}

TEST_F(PurgeTest, RunValueAbsentStillDeletesTheFile) {
  PlantThreat();
  m.registry.keys[RunKey].values.clear();
  EXPECT_EQ(Purge(threatPath), Log(L"Gagal", threatPath, L"Sukses"));
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_TRUE(m.files.files.empty());
}

TEST_F(PurgeTest, RunKeyAbsentReadsGagal) {
  PlantThreat();
  m.registry.keys.erase(RunKey);
  EXPECT_EQ(Purge(threatPath), Log(L"Gagal", threatPath, L"Sukses"));
}

TEST_F(PurgeTest, RunServicesKeyAbsentIsNotReported) {
  PlantThreat();
  m.registry.keys.erase(RunServicesKey);
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  EXPECT_FALSE(m.registry.HasKey(RunServicesKey));
}

TEST_F(PurgeTest, MissingFileReadsGagal) {
  PlantThreat();
  m.files.files.clear();
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Gagal"));
}

TEST_F(PurgeTest, LockedThreatFileIsDeletedAtTheNextRestart) {
  PlantThreat();
  m.files.locked.insert(threatPath);
  // Started some other way, it runs: it is ended before the purge waits
  // for the machine's lock, which it could otherwise hold.
  m.process.running = {threatPath};
  // The threat marks its file read-only, which would keep it at the restart.
  m.files.readOnly.insert(threatPath);
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Gagal") +
                                   L"            File akan dihapus saat komputer di-restart berikutnya\r\n");
  EXPECT_EQ(m.files.deleteAtRestart, std::vector<std::wstring>{threatPath});
  EXPECT_EQ(m.files.readOnly.count(threatPath), 0u) << "read-only when the restart comes";
  EXPECT_TRUE(m.process.running.empty());
  EXPECT_EQ(m.process.endsBeforeLock, std::vector<std::size_t>{1});
}

TEST_F(PurgeTest, OnA64BitWindowsTheRestartDeletesTheThreatInItsRealPlace) {
  // The system reads its list at the restart as a 64-bit program: this
  // program's System32 is SysWOW64 there, and Sysnative names nothing.
  struct Case {
    bool in32, in64;
    std::wstring argument;
    std::vector<std::wstring> scheduled;
  };
  const Case cases[] = {
      {true, false, threatPath, {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe"}},
      {false, true, threat64, {L"64:C:\\WINDOWS\\System32\\ssvchost.exe"}},
      {true, true, threatPath, {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe", L"64:C:\\WINDOWS\\System32\\ssvchost.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scheduled.size());
    m = {};
    PlantThreat64();
    PlantThreat();
    if (c.in32) m.files.locked.insert(threatPath);
    if (c.in64) m.files.locked.insert(threat64);
    Purge(c.argument);
    EXPECT_EQ(m.files.deleteAtRestart, c.scheduled);
    // The event log's record names the files where an administrator finds them.
    const std::wstring run = L" HKEY_LOCAL_MACHINE\\" + std::wstring(RunKey) + L"\\ssvchost";
    const std::wstring services = L" HKEY_LOCAL_MACHINE\\" + std::wstring(RunServicesKey) + L"\\ssvchost";
    EXPECT_EQ(Recorded(),
              L"pembasmian saat logon | menunggu-restart | ditemukan: C:\\WINDOWS\\SysWOW64\\ssvchost.exe "
              L"C:\\WINDOWS\\System32\\ssvchost.exe" +
                  run + services + run + L" (64-bit)" + services +
                  L" (64-bit); file sedang dipakai, dihapus setelah restart; registry dihapus | 3010");
  }
}

TEST_F(PurgeTest, LockedFileThatCannotBeScheduledSaysOnlyGagal) {
  PlantThreat();
  m.files.locked.insert(threatPath);
  m.files.canScheduleDeletes = false;
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Gagal"));
}

TEST_F(PurgeTest, OnlyTheThreatIsScheduled) {
  const std::wstring other = L"C:\\Data\\ssvchost.exe";
  m.files.files[other] = kThreatSize + 1;
  m.files.locked.insert(other);
  EXPECT_EQ(Purge(other), Log(L"Gagal", other, L"Gagal"));
  EXPECT_TRUE(m.files.deleteAtRestart.empty());
}

TEST_F(PurgeTest, NothingButTheThreatInItsOwnPlaceIsEverDeleted) {
  // Anybody can start the program with a path; it then runs with
  // administrator rights. A file with the threat's name and size anywhere
  // but the threat's place stays, in use or not, and so does any other file.
  for (const auto& [path, size] : std::vector<std::pair<std::wstring, std::uint64_t>>{
           {L"C:\\Data\\report.doc", kThreatSize},
           {L"C:\\WINDOWS\\system32\\SSVCHOST.EXE", kThreatSize + 1},
           {L"C:\\WINDOWS\\system32\\svchost.exe", kThreatSize},
           {L"D:\\Quarantine\\SSVCHOST.EXE", kThreatSize},
           {L"C:\\Users\\ani\\AppData\\Local\\Temp\\x\\ssvchost.exe", kThreatSize},
           {L"C:\\Program Files\\Old Stuff\\ssvchost.exe", kThreatSize},
           {L"C:\\\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b\\\u6771\u4eac\\ssvchost.exe", kThreatSize},
           {L"C:\\WINDOWS\\system32\\..\\Temp\\ssvchost.exe", kThreatSize}}) {
    SCOPED_TRACE(path.size());
    for (const bool locked : {false, true}) {
      m = fake::FakeMachine();
      m.files.files[path] = size;
      if (locked) m.files.locked.insert(path);
      EXPECT_EQ(Purge(path), Log(L"Gagal", path, L"Gagal"));
      EXPECT_EQ(m.files.files.count(path), 1u);
      EXPECT_TRUE(m.files.deleteCalls.empty());
      EXPECT_TRUE(m.files.deleteAtRestart.empty());
    }
  }
}

TEST_F(PurgeTest, TheThreatsPlaceInAnyLetterCaseOrQuoted) {
  for (const std::wstring& argument :
       {std::wstring(L"C:\\windows\\SYSTEM32\\SSVCHOST.EXE"), L"\"" + threatPath + L"\""}) {
    m = fake::FakeMachine();
    PlantThreat();
    const std::wstring shown = argument[0] == L'"' ? threatPath : argument;
    EXPECT_EQ(Purge(argument), Log(L"Sukses", shown, L"Sukses"));
    EXPECT_TRUE(m.files.files.empty());
  }
}

TEST_F(PurgeTest, OddArgumentsDeleteNothing) {
  // Wildcards, a name past MAX_PATH, text outside any ANSI code page, a
  // stream name and a trailing dot: none of them names the planted threat.
  PlantThreat();
  const std::wstring longDir = L"C:\\" + std::wstring(300, L'a');
  for (const std::wstring& arg :
       {std::wstring(L"C:\\WINDOWS\\system32\\*.exe"), std::wstring(L"C:\\WINDOWS\\system32\\ssvch?st.exe"),
        longDir + L"\\ssvchost.exe", std::wstring(L"C:\\\u0414\u043e\u043a\\\u6587\u4ef6.exe"), threatPath + L":stream",
        threatPath + L".", std::wstring(L"\"\"")}) {
    m.dialogs.messages.clear();
    m.process.endCalls = 0;
    const std::wstring log = Purge(arg);
    EXPECT_NE(log.find(L"Proses menghapus file "), std::wstring::npos);
    EXPECT_NE(log.find(L" ... Gagal\r\n", log.find(L"menghapus")), std::wstring::npos) << arg.size();
    EXPECT_EQ(m.files.files.count(threatPath), 1u);
  }
  EXPECT_TRUE(m.files.deleteCalls.empty());
}

TEST_F(PurgeTest, LimitedRightsRelaunchElevatedWithTheSameArgument) {
  PlantThreat();
  m.process.elevation = Elevation::CanBeElevated;
  EXPECT_EQ(Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\" \"" + threatPath + L"\""),
            Form1::AfterLoad::ProcessEnded);
  EXPECT_EQ(m.process.relaunches, std::vector<std::wstring>{L"/elevated \"" + threatPath + L"\""});
  EXPECT_EQ(m.process.endCalls, 1);
  EXPECT_TRUE(m.dialogs.messages.empty()) << "the elevated copy shows the log";
  EXPECT_TRUE(m.registry.HasValue(RunKey, L"ssvchost")) << "nothing is touched before the relaunch";
  EXPECT_EQ(m.files.files.count(threatPath), 1u);

  // The mark counts only where the relaunch puts it, first: anywhere else
  // a user wrote it, and is asked for rights as anybody is.
  m = {};
  PlantThreat();
  m.process.elevation = Elevation::CanBeElevated;
  Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\" " + threatPath + L" /elevated");
  EXPECT_EQ(m.process.relaunches, std::vector<std::wstring>{L"/elevated " + threatPath + L" /elevated"});
}

TEST_F(PurgeTest, WhereNobodySeesTheScreenNothingWaitsAndTheCodeSaysWhatHappened) {
  // A start-up script, a service or a task on a window station nobody
  // sees: no window, no box, no question for rights; the purge's outcome
  // is its exit code, as the switches give it.
  enum Threat { kNone, kThere, kHeld, kDenied, kFileOnly };
  struct Case {
    std::wstring arguments;
    Threat threat;
    int code;
    const wchar_t* record;  // step and word of the event log's record
  };
  const Case cases[] = {
      // The window nobody would close: a switch is needed.
      {L"", kThere, 87, L"baris perintah | tidak-diperiksa"},
      {L"/?", kThere, 0, nullptr},
      {L"/scan", kThere, 1, L"/scan | ditemukan"},
      // A slash forgotten: the values go, nothing is left ...
      {L"basmi", kNone, 0, L"pembasmian saat logon | dihapus"},
      // ... but the file is still there.
      {L"basmi", kThere, 5, L"pembasmian saat logon | ditolak"},
      {threatPath, kThere, 0, L"pembasmian saat logon | dihapus"},
      // The values already gone.
      {threatPath, kFileOnly, 0, L"pembasmian saat logon | dihapus"},
      {threatPath, kHeld, 3010, L"pembasmian saat logon | menunggu-restart"},
      {threatPath, kDenied, 5, L"pembasmian saat logon | ditolak"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments + L" " + std::to_wstring(c.threat));
    m = {};
    m.process.screenSeen = false;
    m.process.elevation = Elevation::CanBeElevated;
    PlantThreat();
    if (c.threat == kNone) m.files.files.erase(threatPath);
    if (c.threat == kHeld) m.files.locked.insert(threatPath);
    if (c.threat == kDenied) m.files.denied.insert(threatPath);
    if (c.threat == kFileOnly) m.registry.keys.clear();
    EXPECT_EQ(Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\" " + c.arguments), Form1::AfterLoad::ProcessEnded);
    EXPECT_EQ(m.process.exitCodes, std::vector<int>{c.code});
    EXPECT_TRUE(m.dialogs.messages.empty());
    EXPECT_TRUE(m.process.relaunches.empty());
    EXPECT_TRUE(m.process.unattended) << "a failure would wait for someone";
    if (c.record == nullptr) {
      EXPECT_TRUE(m.process.events.empty());
    } else {
      const std::wstring record = Recorded();
      EXPECT_EQ(record.substr(0, record.find(L" | ", record.find(L" | ") + 3)), c.record);
      EXPECT_EQ(record.substr(record.rfind(L" | ") + 3), std::to_wstring(c.code));
    }
    if (c.arguments == threatPath || c.arguments == L"basmi") {
      EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
    }
  }
}

TEST_F(PurgeTest, DeclinedElevationPurgesAsItIsAndReports) {
  PlantThreat();
  m.process.elevation = Elevation::CanBeElevated;
  m.process.relaunchResult = RelaunchResult::Declined;
  // Without rights nothing can be changed.
  m.registry.denied = {RunKey, RunServicesKey};
  m.files.locked.insert(threatPath);
  m.files.canScheduleDeletes = false;
  // The Run value stays, so the purge runs again at the next logon: say so.
  EXPECT_EQ(Purge(threatPath), Log(L"Gagal", threatPath, L"Gagal") +
                                   L"            Izin Administrator tidak diberikan, pembasmian diulang saat logon "
                                   L"berikutnya\r\n");
  EXPECT_EQ(m.process.relaunches.size(), 1u);
}

TEST_F(PurgeTest, ReadOnlyHiddenSystemThreatIsDeletedAndNothingElseChanges) {
  PlantThreat();
  m.files.readOnly.insert(threatPath);
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  EXPECT_EQ(m.files.files.count(threatPath), 0u);

  const std::wstring other = L"C:\\data\\ssvchost.exe";
  m = {};
  m.files.files[other] = kThreatSize + 1;
  m.files.readOnly.insert(other);
  EXPECT_EQ(Purge(other), Log(L"Gagal", other, L"Gagal"));
  EXPECT_EQ(m.files.readOnly.count(other), 1u);
}

TEST_F(PurgeTest, OnA64BitWindowsBothHalvesAreCleaned) {
  struct Case {
    bool in32, in64;
    std::wstring argument, log;
  };
  const std::wstring shown64 = L"C:\\WINDOWS\\System32\\ssvchost.exe (64-bit)";
  const Case cases[] = {
      {false, true, threat64, Log(L"Sukses", shown64, L"Sukses")},
      {true, true, threatPath,
       Log(L"Sukses", threatPath, L"Sukses") + L"            Proses menghapus file " + shown64 + L" ... Sukses\r\n"},
      {true, false, threatPath, Log(L"Sukses", threatPath, L"Sukses")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    m = {};
    PlantThreat64();
    if (!c.in64) m.files.files.erase(threat64);
    PlantThreat();
    if (!c.in32) m.files.files.erase(threatPath);
    // The arming wrote our value in this program's half and removed the 64-bit one.
    m.registry.keys[fake::Key64(RunKey)].values.clear();
    EXPECT_EQ(Purge(c.argument), c.log);
    EXPECT_EQ(m.files.files.count(threatPath) + m.files.files.count(threat64), 0u);
    EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
    EXPECT_FALSE(m.registry.HasValue(fake::Key64(RunServicesKey), L"ssvchost"));
  }
}

TEST_F(PurgeTest, TheCopyLeavesAtTheRestartOnceNothingStartsIt) {
  PlantThreat();
  m.process.moduleFileName = copyPath;
  m.files.files[copyPath] = kProgramSize;
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  // Under a name of its own, so that an arming before the restart (the
  // threat came back) writes a copy that the restart does not delete.
  EXPECT_EQ(m.files.deleteAtRestart, std::vector<std::wstring>{copyPath + L".old"});
  EXPECT_EQ(m.files.files.count(copyPath), 0u);
  // The copy leaves: the event log keeps the file the arming registered.
  EXPECT_EQ(Recorded(), L"pembasmian saat logon | dihapus | ditemukan: " + threatPath + L" HKEY_LOCAL_MACHINE\\" +
                            RunKey + L"\\ssvchost HKEY_LOCAL_MACHINE\\" + RunServicesKey +
                            L"\\ssvchost; file dan registry dihapus | 0");
  EXPECT_EQ(MessageFile(), L"");

  // It cannot be renamed aside: nothing is scheduled under its live name,
  // which a new arming before the restart would have written a copy to.
  m = {};
  PlantThreat();
  m.process.moduleFileName = copyPath;
  m.files.files[copyPath] = kProgramSize;
  m.files.refuseWrites.insert(copyPath + L".old");
  Purge(threatPath);
  EXPECT_TRUE(m.files.deleteAtRestart.empty());

  // Declined: the Run value stays and needs the copy at the next logon.
  m = {};
  PlantThreat();
  m.process.moduleFileName = copyPath;
  m.files.files[copyPath] = kProgramSize;
  m.process.elevation = Elevation::CanBeElevated;
  m.process.relaunchResult = RelaunchResult::Declined;
  m.registry.denied = {RunKey, RunServicesKey};
  Purge(threatPath);
  EXPECT_TRUE(m.files.deleteAtRestart.empty());
}

TEST_F(PurgeTest, ACopyStartedByTheElevationRequestNeverAsksAgain) {
  PlantThreat();
  m.process.elevation = Elevation::CanBeElevated;
  EXPECT_EQ(Purge(L"/elevated " + threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  EXPECT_TRUE(m.process.relaunches.empty());
}

TEST_F(PurgeTest, ElevatedRunDoesNotRelaunch) {
  PlantThreat();
  EXPECT_EQ(Purge(threatPath), Log(L"Sukses", threatPath, L"Sukses"));
  EXPECT_TRUE(m.process.relaunches.empty());
}

}  // namespace
}  // namespace kolvane
