// The switches for scripts: exit codes, what changes and the log line.
#include "app/command_mode.h"

#include "form_fixture.h"

namespace kolvane {
namespace {

class CommandModeTest : public FormTest {
 protected:
  // Runs the program with the argument and returns its exit code.
  int Run(const std::wstring& argument) {
    m.files.files[m.process.moduleFileName] = kProgramSize;
    EXPECT_EQ(Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\" " + argument), Form1::AfterLoad::ProcessEnded);
    EXPECT_EQ(m.process.exitCodes.size(), 1u);
    EXPECT_EQ(m.registry.openKeys, 0);
    EXPECT_EQ(m.power.restartRequests, 0) << "the deployment tool decides when to restart";
    EXPECT_TRUE(m.process.relaunches.empty()) << "no question for rights";
    return m.process.exitCodes.empty() ? -1 : m.process.exitCodes.front();
  }

  std::wstring LogLine() {
    const auto& lines = m.files.lines[L"\\\\srv\\logs\\kolvane.log"];
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? L"" : lines.back();
  }

  static constexpr wchar_t kLog[] = L" /log:\"\\\\srv\\logs\\kolvane.log\"";
  const std::wstring runValue = L"\"" + copyPath + L"\" " + threatPath;
};

TEST_F(CommandModeTest, ScanChangesNothingAndSaysByItsCode) {
  m.process.elevation = Elevation::CanBeElevated;
  EXPECT_EQ(Run(std::wstring(L"/scan") + kLog), 0);
  EXPECT_EQ(LogLine(), L"2026-12-08 09:05:07\tLAB-07\t/scan\ttidak ditemukan\t0");

  m = {};
  PlantThreat();
  const auto registry = m.registry.keys;
  EXPECT_EQ(Run(std::wstring(L"-SCAN") + kLog), 1);
  EXPECT_EQ(LogLine(), L"2026-12-08 09:05:07\tLAB-07\t/scan\tditemukan: " + threatPath + L"\t1");
  EXPECT_EQ(m.registry.keys, registry);
  EXPECT_EQ(m.files.files.count(threatPath), 1u);
  EXPECT_TRUE(m.dialogs.messages.empty());
}

TEST_F(CommandModeTest, BasmiRemovesNowOrAtTheRestartAndLeavesNothingForALogon) {
  // Not there: nothing is written.
  EXPECT_EQ(Run(L"/basmi"), 0);
  EXPECT_FALSE(m.registry.HasKey(RunKey));

  // A start-up script before anyone logs on: the file goes now, with both
  // values, whatever they hold, and any copy an earlier arming left.
  m = {};
  PlantThreat();
  m.registry.SetValue(RunKey, L"ssvchost", runValue);
  m.files.files[copyPath] = kProgramSize;
  m.files.readOnly.insert(threatPath);
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 0);
  EXPECT_EQ(m.files.files.count(threatPath) + m.files.files.count(copyPath), 0u);
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(LogLine(),
            L"2026-12-08 09:05:07\tLAB-07\t/basmi\tditemukan: " + threatPath + L"; file dan registry dihapus\t0");

  // The threat is running, in either half or both: the system deletes the
  // read-only file at the restart by its real name, the values go now, and
  // nothing is left for a logon: no Run value of ours, no copy, no box.
  struct Case {
    bool in32, in64;
    std::vector<std::wstring> scheduled;
  };
  const Case cases[] = {
      {true, false, {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe"}},
      {false, true, {L"64:C:\\WINDOWS\\System32\\ssvchost.exe"}},
      {true, true, {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe", L"64:C:\\WINDOWS\\System32\\ssvchost.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scheduled.back());
    m = {};
    PlantThreat();
    PlantThreat64();
    if (!c.in32) m.files.files.erase(threatPath);
    if (!c.in64) m.files.files.erase(threat64);
    for (const auto& [path, size] : m.files.files) {
      m.files.locked.insert(path);
      m.files.readOnly.insert(path);
    }
    EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 3010);
    EXPECT_EQ(m.files.deleteAtRestart, c.scheduled);
    EXPECT_TRUE(m.files.readOnly.empty());
    for (const std::wstring& key : {std::wstring(RunKey), std::wstring(RunServicesKey), fake::Key64(RunKey)}) {
      EXPECT_FALSE(m.registry.HasValue(key, L"ssvchost")) << key;
    }
    EXPECT_EQ(m.files.files.count(copyPath), 0u);
    EXPECT_EQ(m.clock.waits, 0);
    EXPECT_TRUE(m.dialogs.messages.empty());
  }
  EXPECT_EQ(LogLine(), L"2026-12-08 09:05:07\tLAB-07\t/basmi\tditemukan: " + threatPath +
                           L" C:\\WINDOWS\\System32\\ssvchost.exe (64-bit); file sedang dipakai, dihapus setelah "
                           L"restart; registry dihapus\t3010");
}

TEST_F(CommandModeTest, RefusalGivesFiveAndLeavesNothingHalfDone) {
  // The file refused for lack of rights, or its deletion at the restart
  // refused: nothing else changes.
  for (const bool inUse : {false, true}) {
    m = {};
    PlantThreat();
    if (inUse) {
      m.files.locked.insert(threatPath);
      m.files.canScheduleDeletes = false;
    } else {
      m.files.denied.insert(threatPath);
    }
    EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
    EXPECT_EQ(m.registry.Value(RunKey, L"ssvchost"), threatPath);
    EXPECT_EQ(m.files.files.count(threatPath), 1u);
    EXPECT_EQ(LogLine(), L"2026-12-08 09:05:07\tLAB-07\t/basmi\tditemukan: " + threatPath + L"; akses ditolak: " +
                             threatPath + L"\t5");
  }

  // The file could go, a value could not: the log names the one that stays.
  m = {};
  PlantThreat();
  m.registry.denied.insert(RunKey);
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
  EXPECT_EQ(m.files.files.count(threatPath), 0u);
  EXPECT_EQ(LogLine(), L"2026-12-08 09:05:07\tLAB-07\t/basmi\tditemukan: " + threatPath +
                           L"; file dihapus; akses ditolak: "
                           L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost\t5");

  m = {};
  PlantThreat();
  m.registry.denied.insert(RunKey);
  EXPECT_EQ(Run(std::wstring(L"/remove") + kLog), 5);
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(LogLine(),
            L"2026-12-08 09:05:07\tLAB-07\t/remove\takses ditolak: "
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost\t5");
}

TEST_F(CommandModeTest, RemoveCleansBothHalvesAndALogThatCannotBeWrittenChangesNothing) {
  PlantThreat();
  PlantThreat64();
  m.files.refuseWrites.insert(L"\\\\srv\\logs\\kolvane.log");
  EXPECT_EQ(Run(std::wstring(L"/remove") + kLog), 0);
  for (const std::wstring& key : {std::wstring(RunKey), fake::Key64(RunKey), fake::Key64(RunServicesKey)}) {
    EXPECT_FALSE(m.registry.HasValue(key, L"ssvchost")) << key;
  }
  EXPECT_EQ(m.files.files.count(threatPath), 1u);
}

TEST_F(CommandModeTest, UsageBoxNamesEverySwitch) {
  EXPECT_EQ(Run(L"/?"), 0);
  ASSERT_EQ(m.dialogs.messages.size(), 1u);
  for (const wchar_t* word : {L"/scan", L"/basmi", L"/remove", L"/log:", L"3010", L" 5"}) {
    EXPECT_NE(m.dialogs.messages[0].find(word), std::wstring::npos) << word;
  }
}

}  // namespace
}  // namespace kolvane
