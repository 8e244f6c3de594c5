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

// /basmi: the file goes now when nothing holds it; otherwise the removal is
// armed for the next logon, as the window's Basmi Virus does, without the
// countdown and the restart.
int Basmi(Eradication& e, std::wstring& what) {
  const unsigned found = e.FindThreat();
  if (found == 0) {
    what += text::RunNotFound;
    return exit_code::Success;
  }
  what += text::RunFound;
  e.AppendShownFiles(found, L" ", what);
  const Half* held = nullptr;
  for (std::size_t i = 0; i < e.HalfCount(); ++i) {
    if ((found & (1u << i)) != 0 && !e.DeleteThreat(e.HalfAt(i).threatFile) && held == nullptr) held = &e.HalfAt(i);
  }
  if (held == nullptr) {
    e.RemoveCopy();
    std::wstring failed;
    if (e.RemoveValues(L" ", failed)) {
      what += text::RunRemovedNow;
      return exit_code::Success;
    }
    what += text::RunFileRemoved;
    what += text::RunRefused;
    what += failed;
    return exit_code::AccessDenied;
  }
  const ArmResult armed = e.Arm(held->threatFile);
  if (armed == ArmResult::Armed) {
    what += text::RunArmed;
    return exit_code::RestartPending;
  }
  what += text::RunInUse;
  what += armed == ArmResult::Refused ? text::RunArmRefused : text::RunCopyFailed;
  return exit_code::AccessDenied;
}

}  // namespace

int RunSwitch(const SwitchRequest& request, Eradication& e, Platform p) {
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
    std::wstring failed;
    if (e.RemoveValues(L" ", failed)) {
      line += text::RunValuesRemoved;
    } else {
      line += text::RunRefused;
      line += failed;
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
