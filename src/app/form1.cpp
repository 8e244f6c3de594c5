#include "app/form1.h"

#include <array>

#include "app/command_line.h"
#include "app/command_mode.h"
#include "app/layout.h"
#include "app/texts.h"

namespace kolvane {

Form1::Form1(Platform platform, FormView& view) : p_(platform), view_(view) {}

std::wstring Form1::AuthorName() const {
  // Built from character codes so that the name never stands in the binary
  // as one text.
  constexpr std::array<int, 7> codes{72, 97, 114, 121, 111, 110, 111};
  std::wstring name;
  for (const int code : codes) name += static_cast<wchar_t>(code);
  return name;
}

Form1::AfterLoad Form1::Form_Load() {
  WindowsDir = p_.process.WindowsDirectory();
  SystemDir = p_.process.SystemDirectory();
  CurrentDir = p_.process.CurrentDirectory();
  view_.SetText(Control::Text1, WindowsDir);
  Threat = HeliosB();
  view_.SetText(Control::Command2, text::Command2Prefix + Threat.ThreatName);
  view_.SetText(Control::Form1, text::CaptionPrefix + Threat.ThreatName);
  Infected = 0;
  argumentText_ = ArgumentText(p_.process.CommandLine());
  startedForRights_ = TakeElevatedMark(argumentText_);
  CommandArg = UnquotedPath(argumentText_);
  // A script's switch line, or a screen nobody sees (a start-up script,
  // a service, a task that runs whether anyone is logged on or not):
  // nobody may be waited for. A switch line that is not right changes
  // nothing at all.
  SwitchRequest request;
  const SwitchLine line = ParseSwitch(argumentText_, request);
  screenSeen_ = p_.process.ScreenSeen();
  if (line != SwitchLine::None || !screenSeen_) p_.process.SetUnattended();
  if (line != SwitchLine::None) {
    Eradication machine = Machine();
    p_.process.EndProcess(line == SwitchLine::Valid ? RunSwitch(request, machine) : exit_code::InvalidParameter);
    return AfterLoad::ProcessEnded;
  }
  // Any other argument starts the purge, even "" that names no path.
  if (!argumentText_.empty()) {
    Basmi();
    return AfterLoad::ProcessEnded;
  }
  // Nobody would ever close the window: an unattended run needs a switch.
  if (!screenSeen_) {
    p_.process.EndProcess(exit_code::InvalidParameter);
    return AfterLoad::ProcessEnded;
  }
  // The arming copies this very file, and the request for rights starts
  // it: nobody may change or replace it from now on.
  p_.files.HoldProgramFile(p_.process.ModuleFileName());
  // With a limited token every change would be refused: ask for
  // administrator rights once, before the user meets a refusal.
  if (AskForRights() == RelaunchResult::Started) {
    p_.process.EndProcess(0);
    return AfterLoad::ProcessEnded;
  }
  std::wstring about = text::Wide(text::AboutStart);
  about += Threat.ThreatName;
  text::Append(about, text::AboutBody);
  about += text::NewLine;
  text::Append(about, text::AboutCredit);
  about += AuthorName();
  view_.SetText(Control::Label3, about);
  about = view_.GetText(Control::Label3);
  about += L" (";
  about += text::AuthorMail;
  about += L")";
  view_.SetText(Control::Label3, about);
  return AfterLoad::ShowWindow;
}

void Form1::Form_Resize() {
  if (view_.IsMinimized()) return;
  const ResizeLayout l = ComputeResizeLayout(view_.ClientWidth(), view_.ClientHeight());
  view_.SetWidth(Control::Text1, l.Text1Width);
  view_.SetWidth(Control::Label3, l.WideWidth);
  view_.SetWidth(Control::Command1, l.WideWidth);
  view_.SetWidth(Control::Command2, l.WideWidth);
  view_.SetWidth(Control::Command3, l.WideWidth);
  view_.SetTop(Control::Command5, l.BottomTop);
  view_.SetLeft(Control::Command5, l.Command5Left);
  view_.SetWidth(Control::Command5, l.HalfWidth);
  view_.SetTop(Control::Command6, l.BottomTop);
  view_.SetLeft(Control::Command6, l.Command6Left);
  view_.SetWidth(Control::Command6, l.HalfWidth);
}

void Form1::Command1_Click() {
  if (countingDown_) return;
  Infected = 0;
  if (Machine().FindThreat() != 0) {
    Infected = 1;
    view_.SetText(Control::Command2, text::Command2Prefix + Threat.ThreatName);
    p_.dialogs.ShowMessage(text::Wide(text::Infected) + Threat.ThreatName);
  } else {
    p_.dialogs.ShowMessage(text::Wide(text::Clean) + Threat.ThreatName);
  }
}

void Form1::Command2_Click() {
  if (countingDown_) return;
  if (Infected != 1) {
    p_.dialogs.ShowMessage(text::Wide(text::ScanFirst));
    return;
  }
  // A running threat could write its value back before the restart; it is
  // ended first, as /basmi does. The purge is told the threat's file in
  // this program's half, or in the 64-bit half when only that one holds
  // it; it looks at the other half itself. No box waits for the user while
  // other runs are kept waiting.
  ArmResult armed;
  {
    const MachineLock lock(p_.process);
    if (SaidBusy(lock)) return;
    Eradication machine = Machine();
    const unsigned found = machine.FindThreat();
    machine.EndRunningThreat(found);
    armed = machine.Arm(machine.HalfAt(found == 2 ? 1 : 0));
  }
  switch (armed) {
    case ArmResult::Armed:
      break;
    case ArmResult::SelfPathUnknown:
      p_.dialogs.ShowMessage(text::Wide(text::SelfPathUnknown));
      return;
    case ArmResult::CopyFailed:
      p_.dialogs.ShowMessage(text::Wide(text::CopyFailed));
      return;
    case ArmResult::Refused:
      p_.dialogs.ShowMessage(text::Wide(text::ArmFailed));
      return;
  }
  p_.dialogs.ShowMessage(text::Wide(text::RestartSoon));
  countingDown_ = true;
  CountDown(10.0);
  if (!p_.power.RequestRestart()) p_.dialogs.ShowMessage(text::Wide(text::RestartFailed));
  countingDown_ = false;
}

void Form1::CountDown(double seconds) {
  const double start = p_.clock.Now();
  for (;;) {
    const double left = seconds - (p_.clock.Now() - start);
    if (left <= 0.0) return;
    p_.clock.WaitForEvents(left);
    p_.clock.ProcessPendingEvents();
  }
}

void Form1::Command3_Click() {
  if (countingDown_) return;
  Eradication machine = Machine();
  StartupValues removal;
  {
    const MachineLock lock(p_.process);
    if (SaidBusy(lock)) return;
    removal = machine.RemoveStartupValues();
  }
  if (removal.AllGone()) {
    p_.dialogs.ShowMessage(text::Wide(text::RestoreDone));
    return;
  }
  std::wstring failed = text::Wide(text::RestoreFailed);
  machine.AppendValues(removal, true, text::NewLine, failed);
  p_.dialogs.ShowMessage(failed);
}

bool Form1::SaidBusy(const MachineLock& lock) {
  if (!lock.held()) p_.dialogs.ShowMessage(text::Wide(text::Busy));
  return !lock.held();
}

RelaunchResult Form1::AskForRights() {
  if (startedForRights_ || p_.process.ElevationState() != Elevation::CanBeElevated) return RelaunchResult::Failed;
  // The same argument, after the mark that says it was asked.
  std::wstring arguments = ElevatedMark;
  if (!argumentText_.empty()) arguments += L' ';
  return p_.process.RelaunchElevated(arguments += argumentText_);
}

FileOutcome Form1::PurgeFile(Eradication& machine, const Half* half, const std::wstring& shownFile, std::wstring& log) {
  text::Append(log, text::LogFile);
  log += shownFile;
  log += text::LogDots;
  const FileOutcome outcome = half == nullptr ? FileOutcome::NotThreat : machine.RemoveThreatFile(*half);
  log += outcome == FileOutcome::Deleted ? text::Success : text::Failure;
  log += text::NewLine;
  if (outcome == FileOutcome::DeletedAtRestart) {
    text::Append(log, text::LogDeleteAtRestart);
    log += text::NewLine;
  }
  return outcome;
}

void Form1::Basmi() {
  // Started from the Run value under UAC, the program has the user's limited
  // rights and could delete nothing: ask for administrator rights once. If
  // the user declines, purge as we are and report what failed.
  // Nobody could answer the question for rights where nobody sees the screen.
  const RelaunchResult rights = screenSeen_ ? AskForRights() : RelaunchResult::Failed;
  if (rights == RelaunchResult::Started) {
    p_.process.EndProcess(0);
    return;
  }

  // Where nobody sees the screen the log goes nowhere, and the exit code
  // says what the switches would: 0 everything gone, 3010 a file the next
  // restart deletes, 5 something refused (or another run kept the machine).
  Eradication machine = Machine();
  std::wstring log = text::Wide(text::Busy);
  int code = exit_code::AccessDenied;
  {
    // The box below waits for the user: the lock is let go before it.
    const MachineLock lock(p_.process);
    if (lock.held()) log = Purge(machine, rights, code);
  }
  if (screenSeen_) p_.dialogs.ShowMessage(log);
  p_.process.EndProcess(screenSeen_ ? 0 : code);
}

std::wstring Form1::Purge(Eradication& machine, RelaunchResult rights, int& code) {
  std::wstring log = text::Wide(text::LogHeader);
  log += text::NewLine;
  text::Append(log, text::LogRegistry);
  const StartupValues removal = machine.RemoveStartupValues();
  const bool runValueGone = removal.RunValueDeleted();
  log += runValueGone ? text::Success : text::Failure;
  log += text::NewLine;
  // A value that was not there is gone too; one that stays is refused.
  bool refused = !removal.AllGone();
  bool pending = false;
  const auto count = [&](FileOutcome outcome) {
    refused = refused || outcome == FileOutcome::Refused || outcome == FileOutcome::Failed;
    pending = pending || outcome == FileOutcome::DeletedAtRestart;
    return outcome == FileOutcome::Deleted;
  };

  // Only the threat's own places: a path anywhere else gets its line and
  // is left alone, whatever lies there.
  const Half* named = machine.HalfOf(CommandArg);
  const bool in64 = named != nullptr && named->root == RegRoot::LocalMachine64;
  bool allDone = count(PurgeFile(machine, named, in64 ? named->shownFile : CommandArg, log)) && runValueGone;
  // The threat's file in the other half of a 64-bit Windows goes too.
  if (named != nullptr) {
    const unsigned found = machine.FindThreat();
    for (std::size_t i = 0; i < machine.HalfCount(); ++i) {
      const Half& half = machine.HalfAt(i);
      if (&half != named && (found & (1u << i)) != 0)
        allDone = count(PurgeFile(machine, &half, half.shownFile, log)) && allDone;
    }
  }
  // The Run value still starts this purge at the next logon.
  if (rights == RelaunchResult::Declined && !allDone) {
    text::Append(log, text::LogElevationDeclined);
    log += text::NewLine;
  }
  // The copy the arming made has done its work once nothing starts it.
  if (runValueGone) machine.RemoveCopy();
  // A threat's file still there, and not for the restart to delete (the
  // argument named no threat's place), is not gone either.
  refused = refused || (!pending && machine.FindThreat() != 0);
  code = refused ? exit_code::AccessDenied : pending ? exit_code::RestartPending : exit_code::Success;
  return log;
}

std::wstring Form1::Command5Caption() { return HomePageHost; }

std::wstring Form1::Command6Caption() {
  std::wstring caption = InfoSiteDomain;
  if (!caption.empty() && caption[0] >= L'a' && caption[0] <= L'z') caption[0] = static_cast<wchar_t>(caption[0] - 32);
  return caption;
}

void Form1::Command5_Click() { p_.shell.OpenUrl(std::wstring(L"http://") + HomePageHost); }

void Form1::Command6_Click() { p_.shell.OpenUrl(std::wstring(L"http://www.") + InfoSiteDomain); }

}  // namespace kolvane
