#include "app/eradication.h"

#include "app/module1.h"

namespace kolvane {
namespace {

// Task Manager's record of start-up entries the user disabled, kept by
// value name; Windows 8 and later skip a Run value recorded there. The
// records of the 32-bit half's Run key sit in Run32 of the 64-bit view.
constexpr wchar_t StartupApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

constexpr wchar_t kMark64[] = L" (64-bit)";

// The threat's two keys below a half's Software key.
constexpr const wchar_t* kStartupKeys[2] = {L"\\Microsoft\\Windows\\CurrentVersion\\Run",
                                            L"\\Microsoft\\Windows\\CurrentVersion\\RunServices"};

bool Removed(RegStatus status) { return status == RegStatus::Ok || status == RegStatus::NotFound; }

}  // namespace

Eradication::Eradication(Platform p, const ThreatProfile& threat, const std::wstring& systemDir,
                         const std::wstring& windowsDir)
    : p_(p), threat_(threat), windowsDir_(windowsDir) {
  // The threat's file in a folder of the Windows directory.
  const auto place = [&](const std::wstring& dir, const wchar_t* folder) { return dir + folder + threat.ThreatFile; };
  Half& own = halves_[0];
  own.threatFile = place(systemDir, L"\\");
  own.shownFile = own.threatFile;
  own.realFile = own.threatFile;
  if (!p_.process.Is64BitWindows() || windowsDir.empty()) return;
  // The system reads its list of deletions at the restart as a 64-bit
  // program, for which System32 is the 64-bit half: this program's half
  // is SysWOW64 there.
  own.realFile = place(windowsDir, L"\\SysWOW64\\");
  // The 64-bit System32 is reached through Sysnative, which names nothing
  // for a 64-bit program; a user finds it as System32.
  Half& other = halves_[count_++];
  other.root = RegRoot::LocalMachine64;
  other.mark = kMark64;
  other.threatFile = place(windowsDir, L"\\Sysnative\\");
  other.realFile = place(windowsDir, L"\\System32\\");
  other.nativeView = true;
  other.shownFile = other.realFile + kMark64;
}

Eradication::Eradication(Platform p, const ThreatProfile& threat, const OfflineWindows& offline)
    : p_(p), threat_(threat) {
  // A 64-bit Windows keeps its own half in System32 and the 32-bit half in
  // SysWOW64 and below Wow6432Node of its hive. Not running, it redirects
  // nothing: every name is where the file and the key lie.
  const std::wstring hive = offline.windowsDir + L"\\System32\\config\\SOFTWARE";
  const auto place = [&](Half& half, const wchar_t* folder, const wchar_t* below) {
    half.threatFile = offline.windowsDir + folder + threat.ThreatFile;
    half.shownFile = half.threatFile;
    half.realFile = half.threatFile;
    half.software = offline.softwareKey + below;
    half.shownSoftware = hive + below;
    half.offline = true;
  };
  place(halves_[0], L"\\System32\\", L"");
  if (offline.wow64) place(halves_[count_++], L"\\SysWOW64\\", L"\\Wow6432Node");
}

unsigned Eradication::FindThreat(unsigned* unexamined) {
  unsigned found = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    std::uint64_t size = 0;
    const FileStatus status = p_.files.SizeOf(halves_[i].threatFile, size);
    if (status == FileStatus::Ok && size == static_cast<std::uint64_t>(threat_.ThreatSize)) found |= 1u << i;
    if (status != FileStatus::Ok && status != FileStatus::NotFound && unexamined != nullptr) *unexamined |= 1u << i;
  }
  return found;
}

void Eradication::AppendRealFiles(unsigned halves, const wchar_t* separator, std::wstring& text) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if ((halves & (1u << i)) == 0) continue;
    text += separator;
    text += halves_[i].realFile;
  }
}

void Eradication::EndRunningThreat(unsigned halves) {
  for (std::size_t i = 0; i < count_; ++i) {
    if ((halves & (1u << i)) != 0) p_.process.EndProcessesRunning(halves_[i].realFile);
  }
}

const Half* Eradication::HalfOf(const std::wstring& path) const {
  for (std::size_t i = 0; i < count_; ++i) {
    const Half& half = halves_[i];
    if (EqualsIgnoringAsciiCase(path, half.threatFile)) return &half;
  }
  return nullptr;
}

std::wstring Eradication::CopyPath() const {
  // The Windows directory: there at every logon, on every Windows from XP
  // to 11, and only administrators may change what is in it.
  if (windowsDir_.empty()) return {};
  return windowsDir_ + L"\\Kolvane" + threat_.ThreatTag + L".exe";
}

bool Eradication::RunsFromCopy() {
  const std::wstring copy = CopyPath();
  return !copy.empty() && EqualsIgnoringAsciiCase(p_.process.ModuleFileName(), copy);
}

void Eradication::RemoveCopy() {
  const std::wstring copy = CopyPath();
  if (copy.empty()) return;
  if (!RunsFromCopy()) {
    std::uint64_t size = 0;
    if (p_.files.SizeOf(copy, size) == FileStatus::Ok) p_.files.Delete(copy);
    return;
  }
  MoveCopyAside(copy);
}

bool Eradication::MoveCopyAside(const std::wstring& copy) {
  // An arming before that restart writes a new copy by this name, which a
  // deletion pending for the name would take away before it could run: the
  // deletion is for this copy under a name of its own, or none at all.
  const std::wstring aside = copy + L".old";
  return p_.files.Move(copy, aside) && p_.files.DeleteAtRestart(aside, false);
}

ArmResult Eradication::Arm(const Half& half) {
  // Without its own path the Run value could not start the purge: the
  // threat would stay and nobody would know.
  const std::wstring self = p_.process.ModuleFileName();
  if (self.empty()) return ArmResult::SelfPathUnknown;
  // Whatever the program was started from (a USB stick, a share, Downloads)
  // may be gone or replaced by the next logon. The copy is taken from the
  // program's own file, held since the start, not from its path, which its
  // user could have put another file at.
  const std::wstring copy = CopyPath();
  if (copy.empty()) return ArmResult::CopyFailed;
  const bool copied = !EqualsIgnoringAsciiCase(self, copy);
  if (copied) {
    FileStatus status = p_.files.CopyHeldProgram(copy);
    // A copy an earlier arming left, started by a user or by a logon,
    // cannot be written while it runs but can be moved: it goes aside, as
    // the purge moves itself, and leaves at the restart.
    if (status == FileStatus::InUse) status = MoveCopyAside(copy) ? p_.files.CopyHeldProgram(copy) : FileStatus::Failed;
    if (status == FileStatus::Refused) return ArmResult::Refused;
    if (status != FileStatus::Ok) return ArmResult::CopyFailed;
  }

  // Removing the threat's values is never harmful, so it comes first: what
  // fails after it leaves no value of ours.
  bool ok = true;
  for (std::size_t i = 1; i < count_; ++i) {
    ok = ok && Removed(DeleteValue(halves_[i].root, RunKey)) && Removed(DeleteValue(halves_[i].root, RunServicesKey));
  }
  const bool wow64 = count_ > 1;
  const std::wstring approved = std::wstring(StartupApprovedKey) + (wow64 ? L"32" : L"");
  ok = ok && Removed(DeleteValue(wow64 ? RegRoot::LocalMachine64 : RegRoot::LocalMachine, approved));
  std::wstring command = L"\"";
  command += copy;
  command += L"\" ";
  command += half.threatFile;
  ok = ok && WriteRegString(p_.registry, RegRoot::LocalMachine, RunKey, threat_.RunValueName, command);
  if (!ok) {
    if (copied) p_.files.Delete(copy);
    return ArmResult::Refused;
  }
  // The RunServices key only matters on old Windows; a failure there does
  // not stop the eradication.
  WriteRegString(p_.registry, RegRoot::LocalMachine, RunServicesKey, threat_.RunValueName, L"");
  return ArmResult::Armed;
}

FileOutcome Eradication::RemoveThreatFile(const Half& half) {
  switch (p_.files.DeleteOfSize(half.threatFile, static_cast<std::uint64_t>(threat_.ThreatSize))) {
    case FileStatus::Ok:
      return FileOutcome::Deleted;
    case FileStatus::NotFound:
      return FileOutcome::NotThreat;
    case FileStatus::Refused:
      return FileOutcome::Refused;
    case FileStatus::Failed:
      return FileOutcome::Failed;
    case FileStatus::InUse:
      break;
  }
  // Nothing runs in a Windows that is not running: what holds the file is
  // here, and its restart deletes nothing.
  if (half.offline) return FileOutcome::Failed;
  // A running threat holds its file; the system deletes it at the restart,
  // before anything can start it.
  return p_.files.DeleteAtRestart(half.realFile, half.nativeView) ? FileOutcome::DeletedAtRestart
                                                                  : FileOutcome::Refused;
}

RegStatus Eradication::DeleteValue(RegRoot root, const std::wstring& subKey) {
  const OpenedKey opened = p_.registry.Open(root, subKey);
  if (opened.status != RegStatus::Ok) return opened.status;
  return opened.key->DeleteValue(threat_.RunValueName);
}

MachineLock::MachineLock(Eradication& e) : process_(e.platform().process), result_(LockResult::Failed) {
  found_ = e.FindThreat(&unexamined_);
  e.EndRunningThreat(found_);
  result_ = process_.LockMachine(kWaitMilliseconds);
}

MachineLock::~MachineLock() {
  if (result_ == LockResult::Held) process_.UnlockMachine();
}

bool StartupValues::Any(RegStatus wanted) const {
  for (const auto& half : status) {
    if (half[0] == wanted || half[1] == wanted) return true;
  }
  return false;
}

bool StartupValues::AllGone() const {
  for (const auto& half : status) {
    if (!Removed(half[0]) || !Removed(half[1])) return false;
  }
  return true;
}

bool StartupValues::RunValueDeleted() const { return status[0][0] == RegStatus::Ok && Removed(status[1][0]); }

StartupValues Eradication::RemoveStartupValues() {
  StartupValues values;
  for (std::size_t i = 0; i < count_; ++i) {
    for (int key = 0; key < 2; ++key) {
      values.status[i][key] = DeleteValue(halves_[i].root, halves_[i].software + kStartupKeys[key]);
    }
  }
  return values;
}

StartupValues Eradication::FindStartupValues() {
  StartupValues values;
  for (std::size_t i = 0; i < count_; ++i) {
    for (int key = 0; key < 2; ++key) {
      values.status[i][key] =
          p_.registry.QueryValue(halves_[i].root, halves_[i].software + kStartupKeys[key], threat_.RunValueName);
    }
  }
  return values;
}

void Eradication::AppendValues(const StartupValues& values, bool staying, const wchar_t* separator,
                               std::wstring& text) const {
  for (std::size_t i = 0; i < count_; ++i) {
    for (int key = 0; key < 2; ++key) {
      const RegStatus status = values.status[i][key];
      if (staying ? Removed(status) : status != RegStatus::Ok) continue;
      text += separator;
      text += halves_[i].shownSoftware;
      text += kStartupKeys[key];
      text += L"\\";
      text += threat_.RunValueName;
      text += halves_[i].mark;
    }
  }
}

}  // namespace kolvane
