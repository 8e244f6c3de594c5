#include "app/command_mode.h"

#include "app/texts.h"

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

// What one run found and did: the outcome word, the description, the code.
struct Outcome {
  const char* word = text::WordClean;
  std::wstring what;
  int code = exit_code::Success;

  // Ends the description with a refusal, or a place that could not be
  // looked at, and the names that follow.
  void Fail(const char* outcomeWord, const char* reason) {
    word = outcomeWord;
    if (!what.empty()) what += L"; ";
    text::Append(what, reason);
    code = exit_code::AccessDenied;
  }
};

// /scan: the file or a start-up value of the threat, in either half.
Outcome Scan(Eradication& e) {
  Outcome out;
  unsigned unexamined = 0;
  const unsigned found = e.FindThreat(&unexamined);
  const StartupValues values = e.FindStartupValues();
  if (found != 0 || values.Any(RegStatus::Ok)) {
    out.word = text::WordFound;
    text::Append(out.what, text::RunFound);
    e.AppendRealFiles(found, L" ", out.what);
    e.AppendValues(values, false, L" ", out.what);
    out.code = exit_code::Found;
  } else if (unexamined != 0 || !values.AllGone()) {
    // A file or a key that refuses to be looked at: nothing can be said.
    out.Fail(text::WordUnexamined, text::RunUnexamined);
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
Outcome Basmi(Eradication& e) {
  Outcome out;
  unsigned unexamined = 0;
  const unsigned found = e.FindThreat(&unexamined);
  if (unexamined != 0) {
    out.Fail(text::WordUnexamined, text::RunUnexamined);
    e.AppendRealFiles(unexamined, L" ", out.what);
    return out;
  }
  // Only processes started from the threat's own file.
  e.EndRunningThreat(found);
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
  text::Append(out.what, text::RunFound);
  e.AppendRealFiles(found, L" ", out.what);
  if ((refused | unexamined) != 0) {
    // Nothing more is changed: a later run finds everything as it was.
    if (refused != 0) {
      out.Fail(text::WordRefused, text::RunRefused);
      e.AppendRealFiles(refused, L" ", out.what);
    }
    if (unexamined != 0) {
      out.Fail(text::WordUnexamined, text::RunUnexamined);
      e.AppendRealFiles(unexamined, L" ", out.what);
    }
    return out;
  }
  const StartupValues removal = e.RemoveStartupValues();
  e.AppendValues(removal, false, L" ", out.what);
  if (found == 0 && !removal.Any(RegStatus::Ok)) out.what.clear();
  if (!removal.AllGone()) {
    if (found != 0) text::Append(out.what, pending != 0 ? text::RunFileAtRestart : text::RunFileRemoved);
    out.Fail(text::WordRefused, text::RunRefused);
    e.AppendValues(removal, true, L" ", out.what);
    return out;
  }
  if (out.what.empty()) {
    text::Append(out.what, text::RunNotFound);
    return out;
  }
  // A copy an earlier arming left has nothing left to do.
  e.RemoveCopy();
  out.word = text::WordRemoved;
  if (pending != 0) {
    out.word = text::WordRestart;
    text::Append(out.what, text::RunFileAtRestart);
    out.code = exit_code::RestartPending;
  }
  text::Append(out.what, found != 0 && pending == 0 ? text::RunRemovedNow : text::RunValuesGone);
  return out;
}

Outcome Remove(Eradication& e) {
  Outcome out;
  const StartupValues removal = e.RemoveStartupValues();
  if (!removal.AllGone()) {
    out.Fail(text::WordRefused, text::RunRefused);
    e.AppendValues(removal, true, L" ", out.what);
    return out;
  }
  if (removal.Any(RegStatus::Ok)) out.word = text::WordRemoved;
  text::Append(out.what, text::RunValuesRemoved);
  return out;
}

// /basmi and /remove, never while another run changes the machine.
Outcome Change(Eradication& e, Switch which) {
  const MachineLock lock(e.platform().process);
  if (lock.held()) return which == Switch::Basmi ? Basmi(e) : Remove(e);
  // Another run has been changing the machine all this while.
  Outcome out;
  out.Fail(text::WordUnexamined, text::RunBusy);
  return out;
}

}  // namespace

int RunSwitch(const SwitchRequest& request, Eradication& e) {
  Platform& p = e.platform();
  if (request.which == Switch::Help) {
    // Nobody would ever close the box where nobody sees the screen.
    if (p.process.ScreenSeen()) p.dialogs.ShowMessage(text::Wide(text::Usage));
    return exit_code::Success;
  }
  const Outcome out = request.which == Switch::Scan ? Scan(e) : Change(e, request.which);
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
  std::wstring line;
  for (int i = 0; i < 8; ++i) {
    AppendNumber(line, static_cast<unsigned>(fields[i]), i == 0 ? 4 : 2);
    line += separators[i];
  }
  line += p.process.ComputerName();
  line += L'\t';
  line += request.which == Switch::Scan ? L"/scan\t" : request.which == Switch::Basmi ? L"/basmi\t" : L"/remove\t";
  text::Append(line, out.word);
  line += L'\t';
  line += out.what;
  line += L'\t';
  AppendNumber(line, static_cast<unsigned>(out.code));
  p.files.AppendLine(request.logPath, line);
  return out.code;
}

}  // namespace kolvane
