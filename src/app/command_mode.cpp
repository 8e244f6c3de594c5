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

// /basmi: the files go now; one that is in use goes at the next restart,
// which the system carries out by itself before any start-up program runs.
// Either way the values go now, so no logon has anything left to do.
int Basmi(Eradication& e, std::wstring& what) {
  const unsigned found = e.FindThreat();
  if (found == 0) {
    what += text::RunNotFound;
    return exit_code::Success;
  }
  what += text::RunFound;
  e.AppendShownFiles(found, L" ", what);
  unsigned pending = 0;
  unsigned refused = 0;
  for (std::size_t i = 0; i < e.HalfCount(); ++i) {
    if ((found & (1u << i)) == 0) continue;
    const FileOutcome outcome = e.RemoveThreatFile(e.HalfAt(i));
    if (outcome == FileOutcome::DeletedAtRestart) pending |= 1u << i;
    if (outcome == FileOutcome::Refused || outcome == FileOutcome::Failed) refused |= 1u << i;
  }
  if (refused != 0) {
    // Nothing more is changed: a later run finds everything as it was.
    what += L"; ";
    what += text::RunRefused;
    e.AppendShownFiles(refused, L" ", what);
    return exit_code::AccessDenied;
  }
  const ValueRemoval removal = e.RemoveStartupValues();
  if (!removal.AllGone()) {
    what += pending != 0 ? text::RunFileAtRestart : text::RunFileRemoved;
    what += L"; ";
    what += text::RunRefused;
    e.AppendStayingValues(removal, L" ", what);
    return exit_code::AccessDenied;
  }
  // A copy an earlier arming left has nothing left to do.
  e.RemoveCopy();
  if (pending == 0) {
    what += text::RunRemovedNow;
    return exit_code::Success;
  }
  what += text::RunFileAtRestart;
  what += text::RunValuesGone;
  return exit_code::RestartPending;
}

}  // namespace

int RunSwitch(const SwitchRequest& request, Eradication& e) {
  Platform& p = e.platform();
  if (request.which == Switch::Help) {
    std::wstring usage;
    for (const char* c = text::Usage; *c != '\0'; ++c) usage += static_cast<wchar_t>(*c);
    p.dialogs.ShowMessage(usage);
    return exit_code::Success;
  }
  // One line a run, tab-separated, so that the lines of many machines in
  // one file sort and import well: time, computer, switch, what happened,
  // exit code.
  const LocalTime t = p.process.Now();
  const int fields[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  std::wstring line;
  for (int i = 0; i < 6; ++i) {
    AppendNumber(line, static_cast<unsigned>(fields[i]), i == 0 ? 4 : 2);
    line += L"-- ::\t"[i];
  }
  line += p.process.ComputerName();
  line += L'\t';

  int code = exit_code::Success;
  if (request.which == Switch::Scan) {
    line += L"/scan\t";
    const unsigned found = e.FindThreat();
    if (found == 0) {
      line += text::RunNotFound;
    } else {
      line += text::RunFound;
      e.AppendShownFiles(found, L" ", line);
      code = exit_code::Found;
    }
  } else if (request.which == Switch::Basmi) {
    line += L"/basmi\t";
    code = Basmi(e, line);
  } else {
    line += L"/remove\t";
    const ValueRemoval removal = e.RemoveStartupValues();
    if (removal.AllGone()) {
      line += text::RunValuesRemoved;
    } else {
      line += text::RunRefused;
      e.AppendStayingValues(removal, L" ", line);
      code = exit_code::AccessDenied;
    }
  }
  line += L'\t';
  AppendNumber(line, static_cast<unsigned>(code));
  // A log that cannot be written changes nothing of the run.
  if (!request.logPath.empty()) p.files.AppendLine(request.logPath, line);
  return code;
}

}  // namespace kolvane
