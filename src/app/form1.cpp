#include "app/form1.h"

#include "app/command_line.h"
#include "app/command_mode.h"
#include "app/layout.h"
#include "app/texts.h"

namespace kolvane {

Form1::Form1(Platform platform, FormView& view) : p_(platform), view_(view) {}

std::wstring Form1::AuthorName() const {
  // Built from character codes so that the name never stands in the binary
  // as one text.
  static constexpr unsigned char codes[] = {72, 97, 114, 121, 111, 110, 111};
  std::wstring name;
  for (const unsigned char code : codes) name += static_cast<wchar_t>(code);
  return name;
}

Form1::AfterLoad Form1::Form_Load() {
  WindowsDir = p_.process.WindowsDirectory();
  SystemDir = p_.process.SystemDirectory();
  CurrentDir = p_.process.CurrentDirectory();
  view_.SetText(Control::Text1, WindowsDir);
  AssignHeliosB(Threat);
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
  // Any other argument starts the purge, even "" that names no path.
  if (line == SwitchLine::None && !argumentText_.empty()) {
    Basmi();
    return AfterLoad::ProcessEnded;
  }
  // A script's switch line, or no argument where nobody would ever close
  // the window.
  if (line != SwitchLine::None || !screenSeen_) {
    Eradication machine = Machine();
    p_.process.EndProcess(RunSwitch(line, request, machine));
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
    Say(text::ScanFirst);
    return;
  }
  // A running threat could write its value back before the restart; the
  // lock ends it first, as for /basmi. The purge is told the threat's file in
  // this program's half, or in the 64-bit half when only that one holds
  // it; it looks at the other half itself. No box waits for the user while
  // other runs are kept waiting.
  Outcome out;
  {
    Eradication machine = Machine();
    const MachineLock lock(machine);
    if (!lock.held()) {
      out.Fail(Word::Unexamined, lock.Refusal(text::Busy, text::LockFailed));
    } else {
      // As the lock found it, before its processes were ended.
      const unsigned found = lock.found();
      const ArmResult armed = machine.Arm(machine.HalfAt(found == 2 ? 1 : 0));
      if (armed == ArmResult::Armed) {
        // The restart finishes the removal.
        out.word = Word::Restart;
        text::Append(out.what, text::RunFound);
        machine.AppendRealFiles(found, L" ", out.what);
        out.what += L"; ";
        text::Append(out.what, text::RestartSoon);
        out.code = exit_code::RestartPending;
      } else {
        // What the box says of each failure, in the order of ArmResult.
        static constexpr const char* kFailures[] = {nullptr, text::SelfPathUnknown, text::CopyFailed, text::ArmFailed};
        out.Fail(Word::Refused, kFailures[static_cast<int>(armed)]);
      }
    }
    Record(machine, text::Command2, out);
  }
  // The box of a failure says just what the record says.
  if (out.code != exit_code::RestartPending) {
    p_.dialogs.ShowMessage(out.what);
    return;
  }
  Say(text::RestartSoon);
  countingDown_ = true;
  CountDown(10.0);
  if (!p_.power.RequestRestart()) Say(text::RestartFailed);
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
  Outcome out;
  {
    const MachineLock lock(machine);
    if (lock.held())
      ValuesOutcome(machine, removal = machine.RemoveStartupValues(), out);
    else
      out.Fail(Word::Unexamined, lock.Refusal(text::Busy, text::LockFailed));
  }
  Record(machine, text::Command3, out);
  // Another run kept the machine all the while: nothing was done.
  if (out.word == Word::Unexamined) {
    p_.dialogs.ShowMessage(out.what);
    return;
  }
  if (removal.AllGone()) {
    Say(text::RestoreDone);
    return;
  }
  std::wstring failed = text::Wide(text::RestoreFailed);
  machine.AppendValues(removal, true, text::NewLine, failed);
  p_.dialogs.ShowMessage(failed);
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
  std::wstring log;
  Outcome out;
  {
    // The box below waits for the user: the lock is let go before it.
    const MachineLock lock(machine);
    if (lock.held()) {
      log = Purge(machine, rights, out);
    } else {
      const char* refusal = lock.Refusal(text::Busy, text::LockFailed);
      out.Fail(Word::Unexamined, refusal);
      log = text::Wide(refusal);
    }
  }
  Record(machine, text::PurgeStep, out);
  if (screenSeen_) p_.dialogs.ShowMessage(log);
  p_.process.EndProcess(screenSeen_ ? 0 : out.code);
}

std::wstring Form1::Purge(Eradication& machine, RelaunchResult rights, Outcome& out) {
  std::wstring log = text::Wide(text::LogHeader);
  log += text::NewLine;
  text::Append(log, text::LogRegistry);
  const StartupValues removal = machine.RemoveStartupValues();
  const bool runValueGone = removal.RunValueDeleted();
  log += runValueGone ? text::Success : text::Failure;
  log += text::NewLine;
  // The halves whose threat file was there, is refused, waits for the
  // restart; one bit each, as FindThreat gives them.
  unsigned there = 0;
  unsigned refused = 0;
  unsigned pending = 0;
  const auto count = [&](const Half* half, FileOutcome outcome) {
    const unsigned bit = half == nullptr ? 0 : 1u << (half - &machine.HalfAt(0));
    if (outcome != FileOutcome::NotThreat) there |= bit;
    if (outcome == FileOutcome::Refused || outcome == FileOutcome::Failed) refused |= bit;
    if (outcome == FileOutcome::DeletedAtRestart) pending |= bit;
    return outcome == FileOutcome::Deleted;
  };

  // Only the threat's own places: a path anywhere else gets its line and
  // is left alone, whatever lies there.
  const Half* named = machine.HalfOf(CommandArg);
  const bool in64 = named != nullptr && named->root == RegRoot::LocalMachine64;
  bool allDone = count(named, PurgeFile(machine, named, in64 ? named->shownFile : CommandArg, log)) && runValueGone;
  // The threat's file in the other half of a 64-bit Windows goes too.
  if (named != nullptr) {
    const unsigned found = machine.FindThreat();
    for (std::size_t i = 0; i < machine.HalfCount(); ++i) {
      const Half& half = machine.HalfAt(i);
      if (&half != named && (found & (1u << i)) != 0)
        allDone = count(&half, PurgeFile(machine, &half, half.shownFile, log)) && allDone;
    }
  }
  // The Run value still starts this purge at the next logon.
  if (rights == RelaunchResult::Declined && !allDone) {
    text::Append(log, text::LogElevationDeclined);
    log += text::NewLine;
  }
  // The copy the arming made has done its work once nothing starts it.
  if (runValueGone) machine.RemoveCopy();

  // The record names the files where they really lie. A threat's file
  // still there, and not for the restart to delete (the argument named no
  // threat's place), is not gone either; a value that was not there is.
  if (pending == 0) refused |= machine.FindThreat();
  out.Removal(machine, there, pending, refused, removal);
  return log;
}

void Form1::Say(const char* message) { p_.dialogs.ShowMessage(text::Wide(message)); }

std::wstring Form1::Command5Caption() { return HomePageHost; }

std::wstring Form1::Command6Caption() {
  std::wstring caption = InfoSiteDomain;
  if (!caption.empty() && caption[0] >= L'a' && caption[0] <= L'z') caption[0] = static_cast<wchar_t>(caption[0] - 32);
  return caption;
}

void Form1::Command5_Click() { p_.shell.OpenUrl(std::wstring(L"http://") + HomePageHost); }

void Form1::Command6_Click() { p_.shell.OpenUrl(std::wstring(L"http://www.") + InfoSiteDomain); }

}  // namespace kolvane
