#include "app/command_mode.h"

#include "app/module1.h"

namespace kolvane {
namespace {

// Appends value in decimal, with leading zeros up to width digits.
void AppendNumber(std::wstring& text, unsigned value, unsigned width = 1) {
  wchar_t digits[12];
  unsigned n = 0;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value > 0 || n < width);
  while (n > 0) text += digits[--n];
}

// /scan: the file or a start-up value of the threat, in either half.
Outcome Scan(Eradication& e) {
  Outcome out;
  unsigned unexamined = 0;
  const unsigned found = e.FindThreat(&unexamined);
  const StartupValues values = e.FindStartupValues();
  if (found != 0 || values.Any(RegStatus::Ok)) {
    out.word = Word::Found;
    text::Append(out.what, text::RunFound);
    e.AppendRealFiles(found, L" ", out.what);
    e.AppendValues(values, false, L" ", out.what);
    out.code = exit_code::Found;
  } else if (unexamined != 0 || !values.AllGone()) {
    // A file or a key that refuses to be looked at: nothing can be said.
    out.Fail(Word::Unexamined, text::RunUnexamined);
    e.AppendRealFiles(unexamined, L" ", out.what);
    e.AppendValues(values, true, L" ", out.what);
  } else {
    text::Append(out.what, text::RunNotFound);
  }
  return out;
}

// /basmi: a running threat is ended and its files go now; one that is still
// in use goes at the next restart, which the system carries out by itself
// before any start-up program runs. The values go now, file or no file, so
// nothing is left for a logon to do.
// found and unexamined: the halves (bits as from FindThreat) as found
// before the threat's running processes were ended.
Outcome Basmi(Eradication& e, const unsigned found, unsigned unexamined) {
  Outcome out;
  if (unexamined != 0) {
    out.Fail(Word::Unexamined, text::RunUnexamined);
    e.AppendRealFiles(unexamined, L" ", out.what);
    return out;
  }
  // Its running processes were ended before the lock was taken.
  unsigned pending = 0;
  unsigned refused = 0;
  for (std::size_t i = 0; i < e.HalfCount(); ++i) {
    if ((found & (1u << i)) == 0) continue;
    const FileOutcome outcome = e.RemoveThreatFile(e.HalfAt(i));
    if (outcome == FileOutcome::DeletedAtRestart) pending |= 1u << i;
    if (outcome == FileOutcome::Refused || outcome == FileOutcome::Failed) refused |= 1u << i;
    // Found a moment ago, not the threat now (a link, another size): what
    // lies there cannot be said.
    if (outcome == FileOutcome::NotThreat) unexamined |= 1u << i;
  }
  if ((refused | unexamined) != 0) {
    // Nothing more is changed: a later run finds everything as it was.
    text::Append(out.what, text::RunFound);
    e.AppendRealFiles(found, L" ", out.what);
    if (refused != 0) {
      out.Fail(Word::Refused, text::RunRefused);
      e.AppendRealFiles(refused, L" ", out.what);
    }
    if (unexamined != 0) {
      out.Fail(Word::Unexamined, text::RunUnexamined);
      e.AppendRealFiles(unexamined, L" ", out.what);
    }
    return out;
  }
  // A copy an earlier arming left has nothing left to do. A switch run
  // from that very place was put there by somebody else (PsExec's -c copies
  // the program into the Windows directory): its own file stays.
  if (out.Removal(e, found, pending, 0, e.RemoveStartupValues()) && !e.RunsFromCopy()) e.RemoveCopy();
  return out;
}

// /basmi and /remove, never while another run changes the machine.
Outcome Change(Eradication& e, Switch which) {
  const MachineLock lock(e);
  if (lock.held() && which == Switch::Basmi) return Basmi(e, lock.found(), lock.unexamined());
  Outcome out;
  if (lock.held())
    ValuesOutcome(e, e.RemoveStartupValues(), out);
  else
    // Another run has been changing the machine all this while, or the
    // lock could not be had: nothing was changed.
    out.Fail(Word::Unexamined, lock.Refusal(text::RunBusy, text::RunLockFailed));
  return out;
}

// The key below HKEY_LOCAL_MACHINE where the hive of a Windows that is
// not running is loaded while the program works on it.
std::wstring OfflineHiveKey(const ThreatProfile& threat) { return L"KolvaneOffline" + threat.ThreatTag; }

// The hive loaded for as long as this lives, and unloaded on every way out.
class LoadedHive {
 public:
  LoadedHive(Registry& registry, std::wstring name, const std::wstring& file)
      : registry_(registry), name_(std::move(name)), status_(registry.LoadHive(name_, file)) {}
  ~LoadedHive() { Unload(); }
  LoadedHive(const LoadedHive&) = delete;
  LoadedHive& operator=(const LoadedHive&) = delete;
  RegStatus status() const { return status_; }
  // True when it was loaded and is not any more.
  bool Unload() {
    if (status_ != RegStatus::Ok) return false;
    status_ = RegStatus::NotFound;
    return registry_.UnloadHive(name_) == RegStatus::Ok;
  }

 private:
  Registry& registry_;
  std::wstring name_;
  RegStatus status_;
};

// /scan, /basmi and /remove on a Windows that is not running, in its
// directory dir: its files in System32 and SysWOW64, its values in its
// SOFTWARE hive. Nothing of the Windows that runs this program is looked
// at or changed, and nothing waits for a restart: nothing runs there.
Outcome Offline(Eradication& running, Switch which, const std::wstring& dir) {
  Platform& p = running.platform();
  Outcome out;
  const auto refuse = [&](const char* reason) {
    out.Fail(Word::Unexamined, reason, dir);
    out.code = exit_code::InvalidParameter;
    return out;
  };
  // The names in it: a root (W:\) keeps its backslash only as itself.
  const std::wstring base = dir.back() == L'\\' ? dir.substr(0, dir.size() - 1) : dir;
  const std::wstring hive = base + L"\\System32\\config\\SOFTWARE";
  if (p.files.SameFolder(dir, p.process.WindowsDirectory())) return refuse(text::RunRunningWindows);
  std::uint64_t size = 0;
  if (p.files.SizeOf(hive, size) == FileStatus::NotFound) return refuse(text::RunNoWindows);
  const OfflineWindows offline{base, OfflineHiveKey(running.threat()), p.files.IsFolder(base + L"\\SysWOW64")};
  LoadedHive loaded(p.registry, offline.softwareKey, hive);
  if (loaded.status() != RegStatus::Ok) {
    const bool refused = loaded.status() == RegStatus::AccessDenied;
    out.Fail(refused ? Word::Refused : Word::Unexamined, refused ? text::RunRefused : text::RunUnexamined, hive);
    return out;
  }
  Eradication e(p, running.threat(), offline);
  if (which == Switch::Scan) {
    out = Scan(e);
  } else if (which == Switch::Basmi) {
    unsigned unexamined = 0;
    const unsigned found = e.FindThreat(&unexamined);
    out = Basmi(e, found, unexamined);
  } else {
    ValuesOutcome(e, e.RemoveStartupValues(), out);
  }
  // Until it is unloaded, what was changed may not be in the file, and the
  // file stays in use until this Windows restarts.
  if (!loaded.Unload()) out.Fail(Word::Unexamined, text::RunHiveNotUnloaded, hive);
  return out;
}

// The outcome words in the order of Word, and the kind of record each is:
// information, warning, error.
constexpr const char* kWords[] = {text::WordClean,   text::WordFound,   text::WordRemoved,
                                  text::WordRestart, text::WordRefused, text::WordUnexamined};
constexpr EventType kTypes[] = {EventType::Information, EventType::Warning, EventType::Information,
                                EventType::Warning,     EventType::Error,   EventType::Error};

// The event log's source, as the system finds its message file.
constexpr wchar_t EventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Kolvane";

}  // namespace

bool Outcome::Removal(Eradication& e, unsigned found, unsigned pending, unsigned refused,
                      const StartupValues& removal) {
  text::Append(what, text::RunFound);
  e.AppendRealFiles(found, L" ", what);
  e.AppendValues(removal, false, L" ", what);
  if (found == 0 && !removal.Any(RegStatus::Ok)) what.clear();
  if (refused != 0 || !removal.AllGone()) {
    if (found != 0 && refused == 0) text::Append(what, pending != 0 ? text::RunFileAtRestart : text::RunFileRemoved);
    Fail(Word::Refused, text::RunRefused);
    e.AppendRealFiles(refused, L" ", what);
    e.AppendValues(removal, true, L" ", what);
    return false;
  }
  if (what.empty()) {
    text::Append(what, text::RunNotFound);
    return false;
  }
  word = Word::Removed;
  if (pending != 0) {
    word = Word::Restart;
    text::Append(what, text::RunFileAtRestart);
    code = exit_code::RestartPending;
  }
  text::Append(what, found != 0 && pending == 0 ? text::RunRemovedNow : text::RunValuesGone);
  return true;
}

void Outcome::Fail(Word outcomeWord, const char* reason) {
  word = outcomeWord;
  if (!what.empty()) what += L"; ";
  text::Append(what, reason);
  code = exit_code::AccessDenied;
}

void Outcome::Fail(Word outcomeWord, const char* reason, const std::wstring& name) {
  Fail(outcomeWord, reason);
  what += L' ';
  what += name;
}

const char* WordText(Word word) { return kWords[static_cast<int>(word)]; }

namespace {

// Every reader formats every record of the source, old and new, with the
// message file registered when it reads: so that file is only ever one that
// only administrators can change, and once such a file is registered it
// stays while it is there. The arming's copy, which deletes itself, never
// registers; neither does a program on a USB stick, a share or in a folder
// that a user may write (Downloads). A registration of a file anybody else
// may change is taken away, as it would let them decide every record's
// texts: the records then show their four texts without it. Refused
// without administrator rights: the record goes out all the same.
void RegisterSource(Eradication& e) {
  Platform& p = e.platform();
  const wchar_t* const value = L"EventMessageFile";
  std::wstring registered;
  const RegStatus read = p.registry.ReadString(RegRoot::LocalMachine, EventSourceKey, value, registered);
  if (read == RegStatus::Ok && !registered.empty() && p.files.OnlyAdministratorsMayChange(registered)) return;
  // Nothing is decided on a registration that could not be read.
  if (read != RegStatus::Ok && read != RegStatus::NotFound) return;
  const std::wstring self = p.process.ModuleFileName();
  if (!self.empty() && !e.RunsFromCopy() && p.files.OnlyAdministratorsMayChange(self)) {
    WriteRegString(p.registry, RegRoot::LocalMachine, EventSourceKey, value, self);
  } else if (read == RegStatus::Ok) {
    const OpenedKey source = p.registry.Open(RegRoot::LocalMachine, EventSourceKey);
    if (source.status == RegStatus::Ok) source.key->DeleteValue(value);
  }
}

}  // namespace

void Record(Eradication& e, const wchar_t* step, const Outcome& out, bool registers) {
  Platform& p = e.platform();
  if (registers) RegisterSource(e);
  const std::wstring word = text::Wide(WordText(out.word));
  std::wstring code;
  AppendNumber(code, static_cast<unsigned>(out.code));
  const wchar_t* const texts[4] = {step, word.c_str(), out.what.c_str(), code.c_str()};
  const int index = static_cast<int>(out.word);
  p.process.WriteEvent(index + 1, kTypes[index], texts);
}

void ValuesOutcome(Eradication& e, const StartupValues& removal, Outcome& out) {
  if (!removal.AllGone()) {
    out.Fail(Word::Refused, text::RunRefused);
    e.AppendValues(removal, true, L" ", out.what);
    return;
  }
  if (removal.Any(RegStatus::Ok)) out.word = Word::Removed;
  text::Append(out.what, text::RunValuesRemoved);
}

int RunSwitch(SwitchLine line, const SwitchRequest& request, Eradication& e) {
  Platform& p = e.platform();
  if (line != SwitchLine::Valid) {
    // Nothing is done, and the event log says why.
    Outcome out;
    out.Fail(Word::Unexamined, text::NeedsSwitch);
    out.code = exit_code::InvalidParameter;
    Record(e, text::CommandLineStep, out);
    return out.code;
  }
  if (request.which == Switch::Help) {
    // Nobody would ever close the box where nobody sees the screen.
    if (p.process.ScreenSeen()) p.dialogs.ShowMessage(text::Wide(text::Usage));
    return exit_code::Success;
  }
  // A directory given with a trailing backslash names the same one.
  std::wstring offline = request.offlineDir;
  while (offline.size() > 3 && offline.back() == L'\\') offline.pop_back();
  const Outcome out = !offline.empty()                ? Offline(e, request.which, offline)
                      : request.which == Switch::Scan ? Scan(e)
                                                      : Change(e, request.which);
  std::wstring step = request.which == Switch::Scan    ? L"/scan"
                      : request.which == Switch::Basmi ? L"/basmi"
                                                       : L"/remove";
  // The record and the line say which Windows they are of.
  if (!offline.empty()) step += L" /offline:" + offline;
  Record(e, step.c_str(), out, offline.empty());
  // A log that cannot be written changes nothing of the run.
  if (request.logPath.empty()) return out.code;
  // One line a run, tab-separated, so that the lines of many machines in
  // one file sort and import well: time with its offset from UTC,
  // computer, switch, outcome word, what happened, exit code.
  const LocalTime t = p.process.Now();
  const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
  const int fields[] = {t.year, t.month, t.day, t.hour, t.minute, t.second, offset / 60, offset % 60};
  // Each number is followed by its separator: 2026-12-08 09:05:07+07:00
  const wchar_t separators[] = {L'-', L'-', L' ', L':', L':', t.utcOffsetMinutes < 0 ? L'-' : L'+', L':', L'\t'};
  std::wstring entry;
  for (int i = 0; i < 8; ++i) {
    AppendNumber(entry, static_cast<unsigned>(fields[i]), i == 0 ? 4 : 2);
    entry += separators[i];
  }
  entry += p.process.ComputerName();
  entry += L'\t';
  entry += step;
  entry += L'\t';
  text::Append(entry, WordText(out.word));
  entry += L'\t';
  entry += out.what;
  entry += L'\t';
  AppendNumber(entry, static_cast<unsigned>(out.code));
  p.files.AppendLine(request.logPath, entry);
  return out.code;
}

}  // namespace kolvane
