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
    RemoveFile(ThreatPath());
    RemoveFile(CopyPath());
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

  // The log's lines without their time and computer name, after checking
  // that the time carries its offset from UTC.
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::string text = ReadFileText(log);
    if (text.rfind("\xEF\xBB\xBF", 0) != 0) return {"no UTF-8 mark: " + text};
    text.erase(0, 3);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = text.substr(start, end - start);
      if (line.size() < 25 || (line[19] != '+' && line[19] != '-') || line[22] != ':' || line[25] != '\t') {
        lines.push_back("no UTC offset: " + line);
        continue;
      }
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
  // Any user may hold the name that earlier versions took as their lock:
  // nothing waits for it.
  App holder(L"lock", StandIn(sizeof(void*) * 8), false);
  ASSERT_TRUE(holder.started() && WaitUntilRunning(holder.pid()));
  EXPECT_EQ(Run(L"/scan"), 0u);
  PlantThreat();
  EXPECT_EQ(Run(L"-SCAN"), 1u);
  EXPECT_TRUE(FileExists(ThreatPath()));
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_EQ(Run(L"/Remove"), 0u);
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  // The file gone, a value left: not clean, and /basmi removes it.
  ::DeleteFileW(ThreatPath().c_str());
  SetValue(RunServicesKey, L"ssvchost", ThreatPath());
  EXPECT_EQ(Run(L"\"/scan\""), 1u) << "a tool that quotes every argument";
  EXPECT_EQ(Run(L"/basmi"), 0u);
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_EQ(Run(L"/scan"), 0u);
  EXPECT_FALSE(holder.WaitForExit(0)) << "the name was not held all along";
  const std::string run = "HKEY_LOCAL_MACHINE\\" + Narrow(RunKey) + "\\ssvchost";
  const std::string services = "HKEY_LOCAL_MACHINE\\" + Narrow(RunServicesKey) + "\\ssvchost";
  EXPECT_EQ(
      LogLines(),
      (std::vector<std::string>{
          "/scan\tbersih\ttidak ditemukan\t0",
          "/scan\tditemukan\tditemukan: " + Narrow(ThreatPath()) + " " + run + " " + services + "\t1",
          "/remove\tdihapus\tregistry dikembalikan\t0", "/scan\tditemukan\tditemukan: " + services + "\t1",
          "/basmi\tdihapus\tditemukan: " + services + "; registry dihapus\t0", "/scan\tbersih\ttidak ditemukan\t0"}));
}

TEST_F(Switches, WhereNobodySeesTheScreenNothingWaitsForAPerson) {
  // A window station that is not visible, as session 0 is, where start-up
  // scripts, services and scheduled tasks run: a box there is never
  // answered.
  HWINSTA own = ::GetProcessWindowStation();
  HWINSTA unseen = ::CreateWindowStationW(L"kolvane-unseen", 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(unseen, nullptr);
  ASSERT_TRUE(::SetProcessWindowStation(unseen));
  HDESK desk = ::CreateDesktopW(L"desk", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ::SetProcessWindowStation(own);
  ASSERT_NE(desk, nullptr);
  struct Case {
    const wchar_t* arguments;
    DWORD code;
  };
  PlantThreat();
  for (const Case& c :
       {Case{L"", 87}, Case{L"/?", 0}, Case{L"basmi", 5}, Case{L"C:\\windows\\system32\\ssvchost.exe", 0}}) {
    SCOPED_TRACE(Narrow(c.arguments));
    App app(c.arguments, ProgramPath(), false, false, L"kolvane-unseen\\desk");
    ASSERT_TRUE(app.started());
    DWORD code = 999;
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs, &code)) << "it waited for someone";
    EXPECT_EQ(code, c.code);
  }
  // The purge's work is done: the values went with "basmi" already, the
  // file with its own path.
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(ReadValue(RunServicesKey, L"ssvchost"));
  ::CloseDesktop(desk);
  ::CloseWindowStation(unseen);
}

TEST_F(Switches, ALogThatIsOrLiesBehindALinkIsNotWrittenAndTheRunIsTheSame) {
  // Someone who may write to the log's folder made the log a second name
  // of a file the run must not touch.
  const std::wstring other = log + L".ini";
  PlantFile(other, 0);
  ASSERT_TRUE(::CreateHardLinkW(log.c_str(), other.c_str(), nullptr));
  PlantThreat();
  EXPECT_EQ(Run(L"/scan"), 1u);
  EXPECT_EQ(ReadFileText(other), "");
  ::DeleteFileW(log.c_str());
  ::DeleteFileW(other.c_str());

  // A folder on the way that leads elsewhere, as a junction a user made
  // would (the prefix has C:\users\Public\kolvane-linked lead to
  // kolvane-target): nothing is created or appended there.
  const std::wstring linked = L"C:\\users\\Public\\kolvane-linked";
  const std::wstring target = L"C:\\users\\Public\\kolvane-target";
  ASSERT_EQ(::GetFileAttributesW(linked.c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
      << "the prefix has no linked folder";
  PlantFile(target + L"\\old.cmd", 0);
  for (const wchar_t* name : {L"\\new.log", L"\\old.cmd"}) {
    App app(L"/scan /log:" + linked + name, ProgramPath(), false);
    DWORD code = 999;
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 1u) << "the same run";
  }
  EXPECT_FALSE(FileExists(target + L"\\new.log"));
  EXPECT_EQ(ReadFileText(target + L"\\old.cmd"), "");
  ::DeleteFileW((target + L"\\old.cmd").c_str());
  // A plain folder's log is written.
  EXPECT_EQ(Run(L"/scan"), 1u);
  EXPECT_EQ(LogLines().size(), 1u);
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
  const std::string found = "ditemukan: " + Narrow(ThreatPath()) + " HKEY_LOCAL_MACHINE\\" + Narrow(RunKey) +
                            "\\ssvchost HKEY_LOCAL_MACHINE\\" + Narrow(RunServicesKey) + "\\ssvchost";
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"/basmi\tbersih\ttidak ditemukan\t0",
                                      "/basmi\tmenunggu-restart\t" + found +
                                          "; file sedang dipakai, dihapus setelah restart; registry dihapus\t3010",
                                      "/basmi\tdihapus\t" + found + "; file dan registry dihapus\t0"}));
}

TEST_F(Switches, BasmiEndsTheRunningThreatAndNoOtherProcess) {
  // A real program running from the threat's place, padded to its size,
  // and the same program running from elsewhere under the same name.
  // Wine lets a running program's file be deleted, so what counts is that
  // the threat's process ended and the other did not. The threat holds
  // the name that earlier versions took as their lock.
  PlantThreat();
  PlantProgram(ThreatPath(), 110592);
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring elsewhere = std::wstring(temp) + L"ssvchost.exe";
  PlantProgram(elsewhere, 110592);
  App threat(L"lock", ThreatPath(), false);
  App other(L"", elsewhere, false);
  ASSERT_TRUE(threat.started() && other.started());
  ASSERT_TRUE(WaitUntilRunning(threat.pid()) && WaitUntilRunning(other.pid()));
  EXPECT_EQ(Run(L"/basmi"), 0u);
  EXPECT_TRUE(threat.WaitForExit(kTimeoutMs)) << "the threat still runs";
  EXPECT_FALSE(other.WaitForExit(0)) << "another program was ended";
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(ReadValue(RunKey, L"ssvchost"));
  ::DeleteFileW(elsewhere.c_str());
}

// A 64-bit Windows that is not running, on a drive of its own (O:, which
// the prefix gives C:\kolvane-offline), infected in both halves, its
// SOFTWARE hive saved by RegSaveKeyW as Wine writes one. The running
// Windows is infected too and stays so.
TEST_F(Switches, AWindowsThatIsNotRunningIsCleanedOnItsOwnDriveAndTheRunningOneIsLeftAlone) {
  const std::wstring dir = L"O:\\Windows";
  const std::wstring hive = dir + L"\\System32\\config\\SOFTWARE";
  ASSERT_NE(::GetFileAttributesW(L"O:\\"), INVALID_FILE_ATTRIBUTES) << "the prefix has no drive O:";
  for (const wchar_t* folder : {L"", L"\\System32", L"\\System32\\config", L"\\SysWOW64"}) {
    ::CreateDirectoryW((dir + folder).c_str(), nullptr);
  }
  const std::wstring source = L"Software\\KolvaneOfflineSource";
  for (const wchar_t* below : {L"", L"\\Wow6432Node"}) {
    for (const wchar_t* key : {L"Run", L"RunServices"}) {
      SetValue(source + below + L"\\Microsoft\\Windows\\CurrentVersion\\" + key, L"ssvchost",
               L"C:\\Windows\\System32\\ssvchost.exe", KEY_WOW64_64KEY);
    }
  }
  {
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES backup{1, {{{}, SE_PRIVILEGE_ENABLED}}};
    ::LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &backup.Privileges[0].Luid);
    ::AdjustTokenPrivileges(token, FALSE, &backup, 0, nullptr, nullptr);
    ::CloseHandle(token);
    HKEY saved = nullptr;
    ::DeleteFileW(hive.c_str());
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, source.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &saved),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSaveKeyW(saved, hive.c_str(), nullptr), ERROR_SUCCESS);
    ::RegCloseKey(saved);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, source.c_str());
  }
  const std::wstring own = dir + L"\\System32\\ssvchost.exe";
  const std::wstring wow = dir + L"\\SysWOW64\\ssvchost.exe";
  PlantFile(own, 110592);
  PlantFile(wow, 110592);
  PlantThreat();

  EXPECT_EQ(Run(L"/scan /offline:" + dir), 1u);
  EXPECT_EQ(Run(L"/basmi /offline:\"" + dir + L"\\\""), 0u);
  EXPECT_FALSE(FileExists(own));
  EXPECT_FALSE(FileExists(wow));
  // The hive was unloaded (Wine never writes its changes to the file,
  // Windows does: the fake shows that).
  HKEY loaded = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"KolvaneOfflineBackdoorHeliosB", 0, KEY_READ, &loaded),
            ERROR_FILE_NOT_FOUND);
  // The running Windows as it was.
  EXPECT_TRUE(FileExists(ThreatPath()));
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost"));
  EXPECT_TRUE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_FALSE(FileExists(CopyPath()));

  // No Windows there, or the running one by any name: 87, nothing changed.
  wchar_t windows[MAX_PATH] = {};
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring linux = ThroughLinuxRoot(windows);
  for (const std::wstring& other : {std::wstring(L"O:\\"), std::wstring(windows), linux}) {
    EXPECT_EQ(Run(L"/basmi /offline:\"" + other + L"\""), 87u) << Narrow(other);
  }
  EXPECT_TRUE(FileExists(ThreatPath()));
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost"));
  const std::string values = " " + Narrow(hive) + "\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost " +
                             Narrow(hive) + "\\Microsoft\\Windows\\CurrentVersion\\RunServices\\ssvchost " +
                             Narrow(hive) + "\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost " +
                             Narrow(hive) + "\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices\\ssvchost";
  const std::string found = "ditemukan: " + Narrow(own) + " " + Narrow(wow) + values;
  EXPECT_EQ(
      LogLines(),
      (std::vector<std::string>{
          "/scan /offline:O:\\Windows\tditemukan\t" + found + "\t1",
          "/basmi /offline:O:\\Windows\tdihapus\t" + found + "; file dan registry dihapus\t0",
          "/basmi /offline:O:\\\ttidak-diperiksa\ttidak ada Windows di folder ini, tidak ada yang diubah: O:\\\t87",
          "/basmi /offline:" + Narrow(windows) +
              "\ttidak-diperiksa\tini Windows yang sedang berjalan, tidak ada "
              "yang diubah: " +
              Narrow(windows) + "\t87",
          "/basmi /offline:" + Narrow(linux) +
              "\ttidak-diperiksa\tini Windows yang sedang berjalan, tidak ada "
              "yang diubah: " +
              Narrow(linux) + "\t87"}));
  ::DeleteFileW(hive.c_str());
}

TEST_F(Switches, MalformedLinesChangeNothingShowNothingAndGive87) {
  // Armed as Basmi Virus leaves it: none of these may disarm it.
  PlantThreat();
  const std::wstring armed = L"\"" + CopyPath() + L"\" " + ThreatPath();
  SetValue(RunKey, L"ssvchost", armed);
  for (const wchar_t* line :
       {L"/scna", L"/basmi /log:", L"/scan /basmi", L"-x", L"/? /log:x", L"\"/scan\" extra",
        L"/remove /log:C:\\a b.log", L"/basmi /offline:", L"/basmi /offline:O:\\Windows /offline:O:\\Windows"}) {
    App app(line, ProgramPath(), false);
    DWORD code = 0;
    ASSERT_TRUE(app.WaitForExit(kTimeoutMs, &code)) << "it waited for someone";
    EXPECT_EQ(code, 87u);
    EXPECT_EQ(WaitForMessageBox(app.pid(), L"", 0), nullptr);
    EXPECT_EQ(WaitForWindow(app.pid(), L"KolvaneForm1", kCaption, 0), nullptr);
  }
  std::wstring run;
  EXPECT_TRUE(ReadValue(RunKey, L"ssvchost", &run));
  EXPECT_EQ(run, armed);
  EXPECT_TRUE(ReadValue(RunServicesKey, L"ssvchost"));
  EXPECT_TRUE(FileExists(ThreatPath()));
  EXPECT_FALSE(FileExists(CopyPath()));
  EXPECT_FALSE(FileExists(log)) << "no log line for a line that is not right";
}

}  // namespace
}  // namespace e2e
