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

bool Removed(RegStatus status) { return status == RegStatus::Ok || status == RegStatus::NotFound; }

}  // namespace

Eradication::Eradication(Platform p, const ThreatProfile& threat, const std::wstring& systemDir,
                         const std::wstring& windowsDir)
    : p_(p), threat_(threat), windowsDir_(windowsDir) {
  Half& own = halves_[0];
  own.threatFile = systemDir;
  own.threatFile += L'\\';
  own.threatFile += threat.ThreatFile;
  own.shownFile = own.threatFile;
  // The 64-bit System32 is reached through Sysnative; a user finds it as
  // System32.
  if (p_.process.Is64BitWindows() && !windowsDir.empty()) {
    Half& other = halves_[count_++];
    other.root = RegRoot::LocalMachine64;
    other.mark = kMark64;
    other.threatFile = windowsDir;
    other.threatFile += L"\\Sysnative\\";
    other.threatFile += threat.ThreatFile;
    other.shownFile = windowsDir;
    other.shownFile += L"\\System32\\";
    other.shownFile += threat.ThreatFile;
    other.shownFile += kMark64;
  }
}

unsigned Eradication::FindThreat() {
  unsigned found = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    const std::optional<std::uint64_t> size = p_.files.SizeOf(halves_[i].threatFile);
    if (size && *size == static_cast<std::uint64_t>(threat_.ThreatSize)) found |= 1u << i;
  }
  return found;
}

void Eradication::AppendShownFiles(unsigned halves, const wchar_t* separator, std::wstring& text) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if ((halves & (1u << i)) == 0) continue;
    text += separator;
    text += halves_[i].shownFile;
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
  if (RunsFromCopy()) {
    // An arming before that restart writes a new copy by this name, which a
    // deletion pending for the name would take away before it could run:
    // the deletion is for this copy under a name of its own.
    std::wstring aside = copy;
    aside += L".old";
    p_.files.DeleteAtRestart(p_.files.Move(copy, aside) ? aside : copy);
  } else if (p_.files.SizeOf(copy)) {
    p_.files.Delete(copy);
  }
}

ArmResult Eradication::Arm(const std::wstring& threatFile) {
  // Without its own path the Run value could not start the purge: the
  // threat would stay and nobody would know.
  const std::wstring self = p_.process.ModuleFileName();
  if (self.empty()) return ArmResult::SelfPathUnknown;
  // Whatever the program was started from (a USB stick, a share, Downloads)
  // may be gone or replaced by the next logon.
  const std::wstring copy = CopyPath();
  const bool copied = !copy.empty() && !EqualsIgnoringAsciiCase(self, copy);
  if (copy.empty() || (copied && !p_.files.Copy(self, copy))) return ArmResult::CopyFailed;

  // Removing the threat's values is never harmful, so it comes first: what
  // fails after it leaves no value of ours.
  bool ok = true;
  for (std::size_t i = 1; i < count_; ++i) {
    ok = ok && Removed(DeleteValue(halves_[i].root, RunKey)) && Removed(DeleteValue(halves_[i].root, RunServicesKey));
  }
  const bool wow64 = count_ > 1;
  const std::wstring approved = std::wstring(StartupApprovedKey) + (wow64 ? L"32" : L"");
  ok = ok && Removed(DeleteValue(wow64 ? RegRoot::LocalMachine64 : RegRoot::LocalMachine, approved.c_str()));
  std::wstring command = L"\"";
  command += copy;
  command += L"\" ";
  command += threatFile;
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

bool Eradication::DeleteThreat(const std::wstring& path, bool* isThreat) {
  // Only a file that carries the threat's signature is ever touched,
  // whatever path it was given.
  const std::optional<std::uint64_t> size = p_.files.SizeOf(path);
  const bool threat = size && HasThreatSignature(threat_, path, *size);
  if (isThreat != nullptr) *isThreat = threat;
  if (!threat) return false;
  // The threat marks its file read-only, which refuses a delete now and
  // may refuse the one at the restart.
  p_.files.ClearAttributes(path);
  return p_.files.Delete(path);
}

RegStatus Eradication::DeleteValue(RegRoot root, const wchar_t* subKey) {
  const OpenedKey opened = p_.registry.Open(root, subKey);
  if (opened.status != RegStatus::Ok) return opened.status;
  return opened.key->DeleteValue(threat_.RunValueName);
}

bool Eradication::RemoveRunValues() {
  bool ok = true;
  for (std::size_t i = 0; i < count_; ++i) {
    const Half& half = halves_[i];
    // Only a value that really went counts for this program's own half, as
    // it always has; in the 64-bit half an absent value is what arming left.
    const RegStatus status = DeleteValue(half.root, RunKey);
    ok = ok && (half.root == RegRoot::LocalMachine ? status == RegStatus::Ok : Removed(status));
    DeleteValue(half.root, RunServicesKey);
  }
  return ok;
}

bool Eradication::RemoveValues(const wchar_t* separator, std::wstring& failed) {
  bool ok = true;
  for (std::size_t i = 0; i < count_; ++i) {
    const Half& half = halves_[i];
    for (const wchar_t* subKey : {RunKey, RunServicesKey}) {
      if (Removed(DeleteValue(half.root, subKey))) continue;
      ok = false;
      failed += separator;
      failed += L"HKEY_LOCAL_MACHINE\\";
      failed += subKey;
      failed += L"\\";
      failed += threat_.RunValueName;
      failed += half.mark;
    }
  }
  return ok;
}

}  // namespace kolvane
