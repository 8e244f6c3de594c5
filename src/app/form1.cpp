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
  // A script's switch line: nobody may be waited for. One that is not
  // right changes nothing at all.
  SwitchRequest request;
  if (const SwitchLine line = ParseSwitch(argumentText_, request); line != SwitchLine::None) {
    p_.process.SetUnattended();
    Eradication machine = Machine();
    p_.process.EndProcess(line == SwitchLine::Valid ? RunSwitch(request, machine) : exit_code::InvalidParameter);
    return AfterLoad::ProcessEnded;
  }
  // Any other argument starts the purge, even "" that names no path.
  if (!argumentText_.empty()) {
    Basmi();
    return AfterLoad::ProcessEnded;
  }
  // With a limited token every change would be refused: ask for
  // administrator rights once, before the user meets a refusal.
  if (AskForRights() == RelaunchResult::Started) {
    p_.process.EndProcess(0);
    return AfterLoad::ProcessEnded;
  }
  // The arming copies this very file: nobody may change or replace it
  // while the window is open.
  p_.files.HoldProgramFile(p_.process.ModuleFileName());
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
  // The purge is told the threat's file in this program's half, or in the
  // 64-bit half when only that one holds it; it looks at the other half
  // itself.
  Eradication machine = Machine();
  const unsigned found = machine.FindThreat();
  switch (machine.Arm(machine.HalfAt(found == 2 ? 1 : 0))) {
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
  const StartupValues removal = machine.RemoveStartupValues();
  if (removal.AllGone()) {
    p_.dialogs.ShowMessage(text::Wide(text::RestoreDone));
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

bool Form1::PurgeFile(Eradication& machine, const Half* half, const std::wstring& shownFile, std::wstring& log) {
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
  return outcome == FileOutcome::Deleted;
}

void Form1::Basmi() {
  // Started from the Run value under UAC, the program has the user's limited
  // rights and could delete nothing: ask for administrator rights once. If
  // the user declines, purge as we are and report what failed.
  const RelaunchResult rights = AskForRights();
  if (rights == RelaunchResult::Started) {
    p_.process.EndProcess(0);
    return;
  }

  Eradication machine = Machine();
  std::wstring log = text::Wide(text::LogHeader);
  log += text::NewLine;
  text::Append(log, text::LogRegistry);
  const bool runValueGone = machine.RemoveStartupValues().RunValueDeleted();
  log += runValueGone ? text::Success : text::Failure;
  log += text::NewLine;

  // Only the threat's own places: a path anywhere else gets its line and
  // is left alone, whatever lies there.
  const Half* named = machine.HalfOf(CommandArg);
  const bool in64 = named != nullptr && named->root == RegRoot::LocalMachine64;
  bool allDone = PurgeFile(machine, named, in64 ? named->shownFile : CommandArg, log) && runValueGone;
  // The threat's file in the other half of a 64-bit Windows goes too.
  if (named != nullptr) {
    const unsigned found = machine.FindThreat();
    for (std::size_t i = 0; i < machine.HalfCount(); ++i) {
      const Half& half = machine.HalfAt(i);
      if (&half != named && (found & (1u << i)) != 0)
        allDone = PurgeFile(machine, &half, half.shownFile, log) && allDone;
    }
  }
  // The Run value still starts this purge at the next logon.
  if (rights == RelaunchResult::Declined && !allDone) {
    text::Append(log, text::LogElevationDeclined);
    log += text::NewLine;
  }

  p_.dialogs.ShowMessage(log);
  // The copy the arming made has done its work once nothing starts it.
  if (runValueGone) machine.RemoveCopy();
  p_.process.EndProcess(0);
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
