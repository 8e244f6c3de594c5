// The switches for scripts: exit codes, what changes and the log line.
#include "app/command_mode.h"

#include <functional>

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
    EXPECT_TRUE(m.process.unattended) << "a failure would wait for someone";
    return m.process.exitCodes.empty() ? -1 : m.process.exitCodes.front();
  }

  // The log's one line without its time and computer, as "switch | word |
  // what happened | exit code", once the run's record in the event log is
  // checked to say the same.
  std::wstring Said() {
    const auto& lines = m.files.lines[L"\\\\srv\\logs\\kolvane.log"];
    EXPECT_EQ(lines.size(), 1u);
    if (lines.empty()) return L"";
    std::wstring fields = lines.back().substr(lines.back().find(L"LAB-07\t") + 7);
    for (std::size_t tab; (tab = fields.find(L'\t')) != std::wstring::npos;) fields.replace(tab, 1, L" | ");
    EXPECT_EQ(Recorded(), fields);
    return fields;
  }
  // The log's one line, whole, once Said has checked it; the program is
  // registered as the records' message file.
  std::wstring LogLine() {
    Said();
    EXPECT_EQ(MessageFile(), L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe");
    const auto& lines = m.files.lines[L"\\\\srv\\logs\\kolvane.log"];
    return lines.empty() ? L"" : lines.back();
  }

  // The line the log should get: time with its offset from UTC, computer,
  // switch, outcome word, what happened, exit code.
  static std::wstring Line(const wchar_t* name, const wchar_t* word, const std::wstring& what, int code) {
    return L"2026-12-08 09:05:07+07:00\tLAB-07\t" + std::wstring(name) + L"\t" + word + L"\t" + what + L"\t" +
           std::to_wstring(code);
  }

  static constexpr wchar_t kLog[] = L" /log:\"\\\\srv\\logs\\kolvane.log\"";
  static constexpr wchar_t kRun[] = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost";
  static constexpr wchar_t kServices[] =
      L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\ssvchost";
  const std::wstring runValue = L"\"" + copyPath + L"\" " + threatPath;
};

TEST_F(CommandModeTest, TheLogsTimeCarriesItsOffsetFromUtcOnEitherSide) {
  // Zones ahead of UTC and behind it, by whole hours and by fractions.
  const std::pair<int, const wchar_t*> zones[] = {{420, L"+07:00"},  {0, L"+00:00"},    {345, L"+05:45"},
                                                  {-210, L"-03:30"}, {-150, L"-02:30"}, {-600, L"-10:00"}};
  for (const auto& [minutes, offset] : zones) {
    m = {};
    m.process.now.utcOffsetMinutes = minutes;
    EXPECT_EQ(Run(std::wstring(L"/scan") + kLog), 0);
    const auto& lines = m.files.lines[L"\\\\srv\\logs\\kolvane.log"];
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 26), L"2026-12-08 09:05:07" + std::wstring(offset) + L"\t") << minutes;
  }
}

TEST_F(CommandModeTest, ScanChangesNothingAndSaysByItsCode) {
  m.process.elevation = Elevation::CanBeElevated;
  EXPECT_EQ(Run(std::wstring(L"/scan") + kLog), 0);
  EXPECT_EQ(LogLine(), Line(L"/scan", L"bersih", L"tidak ditemukan", 0));

  m = {};
  PlantThreat();
  const auto registry = Keys();
  EXPECT_EQ(Run(std::wstring(L"-SCAN") + kLog), 1);
  EXPECT_EQ(LogLine(), Line(L"/scan", L"ditemukan",
                            L"ditemukan: " + threatPath + L" " + kRun + L" " + std::wstring(kServices), 1));
  EXPECT_EQ(Keys(), registry);
  EXPECT_EQ(m.files.files.count(threatPath), 1u);
  EXPECT_TRUE(m.dialogs.messages.empty());

  // The file gone, a value left (an antivirus took the file): not clean.
  m = {};
  m.process.wow64 = true;
  m.registry.SetValue(fake::Key64(RunServicesKey), L"ssvchost", L"x");
  EXPECT_EQ(Run(std::wstring(L"/scan") + kLog), 1);
  EXPECT_EQ(LogLine(), Line(L"/scan", L"ditemukan", L"ditemukan: " + std::wstring(kServices) + L" (64-bit)", 1));
}

TEST_F(CommandModeTest, WhereTheProgramCannotLookItSaysSoAndNeverZero) {
  for (const wchar_t* name : {L"/scan", L"/basmi"}) {
    m = {};
    m.files.files[threatPath] = kThreatSize - 1;
    m.files.unexaminable.insert(threatPath);
    EXPECT_EQ(Run(name + std::wstring(kLog)), 5);
    EXPECT_EQ(LogLine(), Line(name, L"tidak-diperiksa", L"tidak dapat diperiksa: " + threatPath, 5));
    EXPECT_EQ(m.files.files.count(threatPath), 1u);
  }
  // A Run key that refuses to be read.
  m = {};
  m.registry.keys[RunKey];
  m.registry.denied.insert(RunKey);
  m.registry.unreadable = true;
  EXPECT_EQ(Run(std::wstring(L"/scan") + kLog), 5);
  EXPECT_EQ(LogLine(), Line(L"/scan", L"tidak-diperiksa", L"tidak dapat diperiksa: " + std::wstring(kRun), 5));
}

TEST_F(CommandModeTest, BasmiRemovesNowOrAtTheRestartAndLeavesNothingForALogon) {
  // Not there: nothing is written.
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 0);
  EXPECT_FALSE(m.registry.HasKey(RunKey));
  EXPECT_EQ(LogLine(), Line(L"/basmi", L"bersih", L"tidak ditemukan", 0));

  // The file gone but a value left: the value goes, and the log says which.
  m = {};
  m.registry.SetValue(RunKey, L"ssvchost", threatPath);
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 0);
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_EQ(LogLine(), Line(L"/basmi", L"dihapus", L"ditemukan: " + std::wstring(kRun) + L"; registry dihapus", 0));

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
            Line(L"/basmi", L"dihapus",
                 L"ditemukan: " + threatPath + L" " + kRun + L" " + kServices + L"; file dan registry dihapus", 0));

  // Run from the arming's place by somebody else (PsExec's -c copies the
  // program there): its own file stays where it is.
  m = {};
  PlantThreat();
  m.process.moduleFileName = copyPath;
  m.files.files[copyPath] = kProgramSize;
  EXPECT_EQ(Run(L"/basmi"), 0);
  EXPECT_EQ(m.files.files.count(threatPath), 0u);
  EXPECT_EQ(m.files.files.count(copyPath), 1u);
  EXPECT_TRUE(m.files.deleteAtRestart.empty());
  EXPECT_EQ(m.files.deleteCalls, std::vector<std::wstring>{threatPath});

  // The threat is running, in either half or both, and cannot be ended:
  // the system deletes the read-only file at the restart by its real name,
  // the values go now, and nothing is left for a logon: no Run value of
  // ours, no copy, no box.
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
    m.process.unkillable = {L"C:\\WINDOWS\\SysWOW64\\ssvchost.exe", L"C:\\WINDOWS\\System32\\ssvchost.exe"};
    m.process.running = {m.process.unkillable.begin(), m.process.unkillable.end()};
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
  // Each file where it lies: the 32-bit half's in SysWOW64, not in the
  // System32 that only this 32-bit program sees there.
  EXPECT_EQ(LogLine(),
            Line(L"/basmi", L"menunggu-restart",
                 std::wstring(L"ditemukan: C:\\WINDOWS\\SysWOW64\\ssvchost.exe C:\\WINDOWS\\System32\\ssvchost.exe ") +
                     kRun + L" " + kServices + L" " + kRun + L" (64-bit) " + kServices +
                     L" (64-bit); file sedang dipakai, dihapus setelah restart; registry dihapus",
                 3010));
}

TEST_F(CommandModeTest, BasmiEndsTheRunningThreatAndNothingElse) {
  // The threat runs from its file in the 64-bit half, and so does another
  // program of that name elsewhere. Ending the threat frees its file.
  PlantThreat64();
  m.files.locked.insert(threat64);
  const std::wstring image = L"C:\\WINDOWS\\System32\\ssvchost.exe";
  m.process.running = {image, image, L"C:\\Games\\ssvchost.exe"};
  m.process.onEnded = [&](const std::wstring& ended) {
    if (ended == image && m.process.running.count(image) == 0) m.files.locked.erase(threat64);
  };
  EXPECT_EQ(Run(L"/basmi"), 0);
  EXPECT_EQ(m.process.endRequests, std::vector<std::wstring>{image}) << "only the threat's own file, by its real place";
  EXPECT_EQ(m.process.running, std::multiset<std::wstring>{L"C:\\Games\\ssvchost.exe"});
  EXPECT_EQ(m.files.files.count(threat64), 0u);
  EXPECT_TRUE(m.files.deleteAtRestart.empty());
}

TEST_F(CommandModeTest, RefusalGivesFiveAndLeavesNothingHalfDone) {
  // The file refused for lack of rights, or its deletion at the restart
  // refused, or a deletion that fails for a reason nobody gave: nothing
  // else changes.
  enum Kind { kDenied, kInUse, kFails };
  for (const Kind kind : {kDenied, kInUse, kFails}) {
    m = {};
    PlantThreat();
    if (kind == kInUse) {
      m.files.locked.insert(threatPath);
      m.files.canScheduleDeletes = false;
    }
    if (kind == kDenied) m.files.denied.insert(threatPath);
    if (kind == kFails) m.files.failing.insert(threatPath);
    EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
    EXPECT_EQ(m.registry.Value(RunKey, L"ssvchost"), threatPath);
    EXPECT_EQ(m.files.files.count(threatPath), 1u);
    EXPECT_EQ(LogLine(),
              Line(L"/basmi", L"ditolak", L"ditemukan: " + threatPath + L"; akses ditolak: " + threatPath, 5));
  }

  // The file could go, a value could not: the log names the one that stays.
  m = {};
  PlantThreat();
  m.registry.denied.insert(RunKey);
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
  EXPECT_EQ(m.files.files.count(threatPath), 0u);
  EXPECT_EQ(LogLine(),
            Line(L"/basmi", L"ditolak",
                 L"ditemukan: " + threatPath + L" " + kServices + L"; file dihapus; akses ditolak: " + kRun, 5));

  m = {};
  PlantThreat();
  m.registry.denied.insert(RunKey);
  EXPECT_EQ(Run(std::wstring(L"/remove") + kLog), 5);
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(LogLine(), Line(L"/remove", L"ditolak", L"akses ditolak: " + std::wstring(kRun), 5));
}

TEST_F(CommandModeTest, WhatTheDeletionNoLongerRecognisesOrAnotherRunHoldsIsNotExamined) {
  // Found by the scan, then no longer the threat when its deletion comes
  // (the threat, as it ended, put a link or another file there): nothing
  // is said removed, and nothing else changes.
  PlantThreat();
  m.process.running = {threatPath};
  m.process.onEnded = [&](const std::wstring&) { m.files.links.insert(threatPath); };
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
  EXPECT_EQ(m.registry.Value(RunKey, L"ssvchost"), threatPath);
  EXPECT_EQ(LogLine(), Line(L"/basmi", L"tidak-diperiksa",
                            L"ditemukan: " + threatPath + L"; tidak dapat diperiksa: " + threatPath, 5));

  // Another run is changing the machine all the while, or the lock cannot
  // be had: /basmi and /remove change nothing but the running threat,
  // which is ended before the wait, and /scan, which changes nothing, does
  // not wait.
  const std::pair<LockResult, const wchar_t*> refusals[] = {
      {LockResult::Busy, L"program ini sedang membasmi di proses lain, tidak ada yang diubah"},
      {LockResult::Failed, L"komputer tidak dapat dikunci untuk pembasmian, tidak ada yang diubah"}};
  for (const auto& [answer, why] : refusals) {
    for (const wchar_t* name : {L"/basmi", L"/remove"}) {
      m = {};
      PlantThreat();
      m.process.running = {threatPath};
      m.process.lockAnswer = answer;
      const auto registry = Keys();
      EXPECT_EQ(Run(name + std::wstring(kLog)), 5);
      EXPECT_EQ(Keys(), registry);
      EXPECT_EQ(m.files.files.count(threatPath), 1u);
      EXPECT_EQ(LogLine(), Line(name, L"tidak-diperiksa", why, 5));
      EXPECT_FALSE(m.process.locked);
      EXPECT_TRUE(m.process.running.empty()) << "the threat could hold anything";
      EXPECT_EQ(m.process.endsBeforeLock, std::vector<std::size_t>{1});
      EXPECT_EQ(m.process.lockWaits, std::vector<unsigned>{30000}) << "milliseconds";
    }
  }
  // Without the rights to the lock nothing could be changed anyway: the run
  // goes on and says what it could not do.
  m = {};
  PlantThreat();
  m.process.lockAnswer = LockResult::NoRights;
  m.files.denied.insert(threatPath);
  EXPECT_EQ(Run(std::wstring(L"/basmi") + kLog), 5);
  EXPECT_EQ(LogLine(), Line(L"/basmi", L"ditolak", L"ditemukan: " + threatPath + L"; akses ditolak: " + threatPath, 5));
  m = {};
  m.process.lockAnswer = LockResult::Busy;
  EXPECT_EQ(Run(L"/scan"), 0);
  EXPECT_TRUE(m.process.lockWaits.empty());
}

TEST_F(CommandModeTest, RemoveCleansBothHalvesAndALogThatCannotBeWrittenChangesNothing) {
  PlantThreat();
  PlantThreat64();
  m.files.refuseWrites.insert(L"\\\\srv\\logs\\kolvane.log");
  // Nor does an event source that may not be registered.
  const std::wstring source = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Kolvane";
  m.registry.keys[source];
  m.registry.denied.insert(source);
  EXPECT_EQ(Run(std::wstring(L"/remove") + kLog), 0);
  for (const std::wstring& key : {std::wstring(RunKey), fake::Key64(RunKey), fake::Key64(RunServicesKey)}) {
    EXPECT_FALSE(m.registry.HasValue(key, L"ssvchost")) << key;
  }
  EXPECT_EQ(m.files.files.count(threatPath), 1u);
  EXPECT_EQ(Recorded(), L"/remove | dihapus | registry dikembalikan | 0");
  EXPECT_EQ(MessageFile(), L"");
}

TEST_F(CommandModeTest, OnlyAFileOnlyAdministratorsCanChangeDecidesTheRecordsTexts) {
  // Every reader formats every record, old and new, with the file
  // registered now: a USB stick, Downloads or the arming's copy (which
  // deletes itself) never get there, and a good registration stays.
  const std::wstring installed = L"C:\\Program Files\\Kolvane\\KolvaneBackdoorHeliosB.exe";
  const std::wstring downloads = L"C:\\Users\\ani\\Downloads\\KolvaneBackdoorHeliosB.exe";
  const std::wstring stick = L"E:\\KolvaneBackdoorHeliosB.exe";
  const std::wstring tools = L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe";
  const std::wstring source = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Kolvane";
  enum Before { None, Installed, InstalledGone, Downloads, Unreadable };
  const struct {
    const wchar_t* name;
    Before before;
    std::wstring self;
    std::wstring after;
  } cases[] = {
      {L"first run, from an administrators' folder", None, tools, tools},
      {L"first run, from Downloads", None, downloads, L""},
      {L"first run, from a USB stick", None, stick, L""},
      {L"first run, from the arming's copy", None, copyPath, L""},
      {L"installed, then run from Downloads", Installed, downloads, installed},
      {L"installed, then run from another good folder", Installed, tools, installed},
      {L"installed, then run from the copy", Installed, copyPath, installed},
      {L"the installed file is gone", InstalledGone, tools, tools},
      {L"an earlier run from Downloads, then one from a good folder", Downloads, tools, tools},
      {L"an earlier run from Downloads, then one from a USB stick", Downloads, stick, L""},
      {L"an earlier run from Downloads, then the copy", Downloads, copyPath, L""},
      {L"a registration that cannot be read", Unreadable, tools, downloads},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m = {};
    m.process.moduleFileName = c.self;
    for (const std::wstring& good : {installed, copyPath}) m.files.adminOnly.insert(good);
    if (c.before != InstalledGone) m.files.files[installed] = kProgramSize;
    m.files.files[downloads] = kProgramSize;
    m.files.files[stick] = kProgramSize;
    if (c.before == Installed || c.before == InstalledGone) m.registry.SetValue(source, L"EventMessageFile", installed);
    if (c.before == Downloads || c.before == Unreadable) m.registry.SetValue(source, L"EventMessageFile", downloads);
    if (c.before == Unreadable) {
      m.registry.denied.insert(source);
      m.registry.unreadable = true;
    }
    EXPECT_EQ(Run(L"/scan"), 0);
    EXPECT_EQ(MessageFile(), c.after);
    // The record goes out whatever the registration.
    EXPECT_EQ(Recorded(), L"/scan | bersih | tidak ditemukan | 0");
  }
}

TEST_F(CommandModeTest, MalformedSwitchLinesChangeNothingAndShowNothing) {
  // A typo, an empty script variable, two switches, an argument a tool
  // quoted: 87, and the machine exactly as it was, armed purge included.
  for (const wchar_t* line : {L"/scna", L"/basmi /log:", L"/scan /basmi", L"-x", L"/? /log:x", L"\"/scna\"",
                              L"/remove /log:C:\\a b.log", L"/elevated /basmi /scan", L"/basmi /log:\"\" /log:x"}) {
    SCOPED_TRACE(line);
    m = {};
    PlantThreat();
    m.registry.SetValue(RunKey, L"ssvchost", runValue);
    m.files.locked.insert(threatPath);
    m.process.elevation = Elevation::CanBeElevated;
    m.files.files[m.process.moduleFileName] = kProgramSize;
    const auto registry = Keys();
    const auto files = m.files.files;
    EXPECT_EQ(Run(line), 87);
    EXPECT_EQ(Keys(), registry);
    EXPECT_EQ(m.files.files, files);
    EXPECT_TRUE(m.files.deleteAtRestart.empty() && m.files.deleteCalls.empty() && m.files.lines.empty());
    EXPECT_TRUE(m.dialogs.messages.empty());
    EXPECT_TRUE(m.process.endRequests.empty());
    // The administrator learns why from the event log.
    EXPECT_EQ(Recorded(),
              L"baris perintah | tidak-diperiksa | perlu /scan, /basmi atau /remove; tidak ada yang "
              L"diubah | 87");
  }
}

// A Windows that is not running, at D:\Windows (a disk attached to this
// one): its files and its SOFTWARE hive, with the threat's values in each
// half it has.
class OfflineTest : public CommandModeTest {
 protected:
  static constexpr wchar_t kDir[] = L"D:\\Windows";
  static constexpr wchar_t kHive[] = L"D:\\Windows\\System32\\config\\SOFTWARE";
  static constexpr wchar_t kOwn[] = L"D:\\Windows\\System32\\ssvchost.exe";
  static constexpr wchar_t kWow[] = L"D:\\Windows\\SysWOW64\\ssvchost.exe";
  static constexpr wchar_t kLoaded[] = L"KolvaneOfflineBackdoorHeliosB";

  void PlantOffline(bool wow64) {
    m.files.files[kHive] = 262144;
    m.files.folders.insert(kDir);
    auto& hive = m.registry.hives[kHive];
    hive[L""];
    for (const wchar_t* below : {L"", L"Wow6432Node\\"}) {
      for (const wchar_t* key : {L"Run", L"RunServices"}) {
        hive[std::wstring(below) + L"Microsoft\\Windows\\CurrentVersion\\" + key].values[L"ssvchost"] =
            L"C:\\Windows\\System32\\ssvchost.exe";
      }
      if (!wow64) break;
    }
    m.files.files[kOwn] = kThreatSize;
    if (wow64) {
      m.files.folders.insert(L"D:\\Windows\\SysWOW64");
      m.files.files[kWow] = kThreatSize;
    }
  }
  // The value's name where it lies: in the hive's file.
  static std::wstring Value(const wchar_t* below, const wchar_t* key) {
    return std::wstring(kHive) + below + L"\\Microsoft\\Windows\\CurrentVersion\\" + key + L"\\ssvchost";
  }
  // The offline hive's values that are left, as "KEY\VALUE".
  std::vector<std::wstring> HiveValues() {
    std::vector<std::wstring> left;
    for (const auto& [path, key] : m.registry.hives[kHive]) {
      for (const auto& value : key.values) left.push_back(path + L"\\" + value.first);
    }
    return left;
  }
};

TEST_F(OfflineTest, ItsFilesAndValuesGoWhereTheyLieAndTheRunningWindowsIsLeftAlone) {
  // The Windows that runs the program is infected too: an offline run
  // looks at none of it and changes none of it.
  PlantThreat();
  PlantOffline(true);
  const auto running = Keys();
  const std::wstring found = std::wstring(L"ditemukan: ") + kOwn + L" " + kWow + L" " + Value(L"", L"Run") + L" " +
                             Value(L"", L"RunServices") + L" " + Value(L"\\Wow6432Node", L"Run") + L" " +
                             Value(L"\\Wow6432Node", L"RunServices");
  EXPECT_EQ(Run(std::wstring(L"/scan /offline:D:\\Windows") + kLog), 1);
  EXPECT_EQ(Said(), L"/scan /offline:D:\\Windows | ditemukan | " + found + L" | 1");
  EXPECT_EQ(HiveValues().size(), 4u) << "a scan changes nothing";

  m.files.lines.clear();
  m.process.events.clear();
  m.process.exitCodes.clear();
  EXPECT_EQ(Run(std::wstring(L"/basmi ") + kLog + L" -OFFLINE:\"D:\\Windows\\\""), 0);
  EXPECT_EQ(Said(), L"/basmi /offline:D:\\Windows | dihapus | " + found + L"; file dan registry dihapus | 0");
  EXPECT_EQ(m.files.files.count(kOwn) + m.files.files.count(kWow), 0u);
  EXPECT_TRUE(HiveValues().empty()) << "written back to the hive's file as it was unloaded";
  EXPECT_FALSE(m.registry.HasKey(kLoaded));
  EXPECT_EQ(
      m.registry.hiveCalls,
      (std::vector<std::wstring>{std::wstring(L"load ") + kLoaded + L" " + kHive, std::wstring(L"unload ") + kLoaded,
                                 std::wstring(L"load ") + kLoaded + L" " + kHive, std::wstring(L"unload ") + kLoaded}));
  // Nothing of the running Windows: its threat, its values, its processes,
  // its lock, its restart, its event source.
  EXPECT_EQ(Keys(), running);
  EXPECT_EQ(m.files.files.count(threatPath), 1u);
  EXPECT_TRUE(m.process.endRequests.empty());
  EXPECT_TRUE(m.process.lockWaits.empty());
  EXPECT_TRUE(m.files.deleteAtRestart.empty());
  EXPECT_EQ(MessageFile(), L"");
  EXPECT_TRUE(m.dialogs.messages.empty());
}

TEST_F(OfflineTest, EachOutcomeAndTheHiveAlwaysUnloaded) {
  const std::wstring hive = kHive;
  const std::wstring run = std::wstring(kLoaded) + L"\\Microsoft\\Windows\\CurrentVersion\\Run";
  const struct {
    const char* name;
    const wchar_t* line;
    std::function<void()> setUp;
    int code;
    std::wstring said;  // word | what
    bool loaded = true;
  } cases[] = {
      {"a clean 32-bit Windows", L"/scan",
       [this] {
         PlantOffline(false);
         m.files.files.erase(kOwn);
         m.registry.hives[kHive] = {{L"", {}}};
       },
       0, L"bersih | tidak ditemukan"},
      {"only the file, in SysWOW64", L"/basmi",
       [this] {
         PlantOffline(true);
         m.files.files.erase(kOwn);
         m.registry.hives[kHive] = {{L"", {}}};
       },
       0, std::wstring(L"dihapus | ditemukan: ") + kWow + L"; file dan registry dihapus"},
      {"a file something holds here: never left for a restart", L"/basmi",
       [this] {
         PlantOffline(false);
         m.files.locked.insert(kOwn);
       },
       5, std::wstring(L"ditolak | ditemukan: ") + kOwn + L"; akses ditolak: " + kOwn},
      {"/remove: the values only", L"/remove", [this] { PlantOffline(true); }, 0, L"dihapus | registry dikembalikan"},
      {"a value that may not be deleted: the hive is unloaded all the same", L"/remove",
       [&, this] {
         PlantOffline(false);
         m.registry.undeletable.insert(run + L"\\ssvchost");
       },
       5, L"ditolak | akses ditolak: " + Value(L"", L"Run")},
      {"a hive that may not be loaded", L"/scan",
       [this] {
         PlantOffline(false);
         m.registry.loadFails[kHive] = RegStatus::AccessDenied;
       },
       5, L"ditolak | akses ditolak: " + hive, false},
      {"a hive in use, or no hive", L"/basmi",
       [this] {
         PlantOffline(false);
         m.registry.loadFails[kHive] = RegStatus::Failed;
       },
       5, L"tidak-diperiksa | tidak dapat diperiksa: " + hive, false},
      {"a hive that cannot be unloaded", L"/remove",
       [this] {
         PlantOffline(false);
         m.registry.unloadFails = true;
       },
       5, L"tidak-diperiksa | registry dikembalikan; hive tidak dapat dilepas: " + hive},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m = {};
    c.setUp();
    const auto running = Keys();
    EXPECT_EQ(Run(std::wstring(c.line) + L" /offline:D:\\Windows" + kLog), c.code);
    EXPECT_EQ(Said(), std::wstring(c.line) + L" /offline:D:\\Windows | " + c.said + L" | " + std::to_wstring(c.code));
    std::vector<std::wstring> calls{std::wstring(L"load ") + kLoaded + L" " + kHive};
    if (c.loaded) calls.push_back(std::wstring(L"unload ") + kLoaded);
    EXPECT_EQ(m.registry.hiveCalls, calls);
    EXPECT_EQ(m.registry.openKeys, 0);
    EXPECT_TRUE(m.files.deleteAtRestart.empty());
    EXPECT_TRUE(m.process.endRequests.empty());
    std::erase_if(m.registry.keys, [](const auto& key) { return key.first.starts_with(kLoaded); });
    EXPECT_EQ(Keys(), running);
  }
}

TEST_F(OfflineTest, NoWindowsOrTheRunningOneUnderAnyNameIsRefusedWith87AndNothingChanged) {
  // The running Windows has a hive file too; \\?\C:\WINDOWS and a drive
  // letter of its own lead to it.
  const struct {
    const char* name;
    const wchar_t* dir;
    const wchar_t* said;
  } cases[] = {
      {"a folder with no Windows", L"D:\\Data",
       L"tidak-diperiksa | tidak ada Windows di folder ini, tidak ada yang diubah: D:\\Data"},
      {"the running Windows", L"C:\\WINDOWS",
       L"tidak-diperiksa | ini Windows yang sedang berjalan, tidak ada yang diubah: C:\\WINDOWS"},
      {"the running Windows by another name", L"W:\\",
       L"tidak-diperiksa | ini Windows yang sedang berjalan, tidak ada yang diubah: W:\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m = {};
    PlantThreat();
    m.files.files[L"C:\\WINDOWS\\System32\\config\\SOFTWARE"] = 262144;
    m.files.files[L"W:\\System32\\config\\SOFTWARE"] = 262144;
    m.files.files[m.process.moduleFileName] = kProgramSize;
    m.files.folders.insert(L"C:\\WINDOWS");
    m.files.folderNames[L"W:\\"] = L"C:\\WINDOWS";
    const auto before = Keys();
    const auto files = m.files.files;
    EXPECT_EQ(Run(std::wstring(L"/basmi /offline:") + c.dir + kLog), 87);
    EXPECT_EQ(Said(), L"/basmi /offline:" + std::wstring(c.dir) + L" | " + c.said + L" | 87");
    EXPECT_TRUE(m.registry.hiveCalls.empty());
    EXPECT_EQ(Keys(), before);
    EXPECT_EQ(m.files.files, files);
    EXPECT_TRUE(m.process.endRequests.empty());
  }
}

TEST_F(CommandModeTest, UsageBoxNamesEverySwitchAndEveryCode) {
  EXPECT_EQ(Run(L"/?"), 0);
  EXPECT_TRUE(m.process.events.empty()) << "the usage examines nothing";
  ASSERT_EQ(m.dialogs.messages.size(), 1u);
  // Each switch has its own line; the first line names them all.
  for (const wchar_t* word : {L"\r\n/scan\t", L"\r\n/basmi\t", L"\r\n/remove\t", L"\r\n/log:FILE\t",
                              L"\r\n/offline:DIR\t", L"3010", L" 5:", L" 87:"}) {
    EXPECT_NE(m.dialogs.messages[0].find(word), std::wstring::npos) << word;
  }
}

}  // namespace
}  // namespace kolvane
