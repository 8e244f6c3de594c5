#include "app/form1.h"

#include <array>

#include "app/command_line.h"
#include "app/layout.h"
#include "app/module1.h"
#include "app/texts.h"

namespace kolvane {

Form1::Form1(Platform platform, FormView& view) : p_(platform), view_(view) {}

std::wstring Form1::ThreatPath() const { return SystemDir + L"\\" + Threat.ThreatFile; }

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
  CommandArg = UnquotedPath(argumentText_);
  // Any argument starts the purge, even "" that names no path.
  if (!argumentText_.empty()) {
    Basmi();
    return AfterLoad::ProcessEnded;
  }
  view_.SetText(Control::Label3, text::AboutStart + Threat.ThreatName + text::AboutBody + text::NewLine +
                                     text::AboutCredit + AuthorName());
  view_.SetText(Control::Label3, view_.GetText(Control::Label3) + L" (" + text::AuthorMail + L")");
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
  Infected = 0;
  const std::optional<std::uint64_t> size = p_.files.SizeOf(ThreatPath());
  if (size && *size == static_cast<std::uint64_t>(Threat.ThreatSize)) {
    Infected = 1;
    view_.SetText(Control::Command2, text::Command2Prefix + Threat.ThreatName);
    p_.dialogs.ShowMessage(text::Infected + Threat.ThreatName);
  } else {
    p_.dialogs.ShowMessage(text::Clean + Threat.ThreatName);
  }
}

std::wstring Form1::SelfCommandLine(const std::wstring& self) const { return L"\"" + self + L"\" " + ThreatPath(); }

void Form1::Command2_Click() {
  if (Infected != 1) {
    p_.dialogs.ShowMessage(text::ScanFirst);
    return;
  }
  // Without its own path the Run value could not start the purge: the threat
  // would stay and nobody would know.
  const std::wstring self = p_.process.ModuleFileName();
  if (self.empty()) {
    p_.dialogs.ShowMessage(text::SelfPathUnknown);
    return;
  }
  if (!WriteRegString(p_.registry, RegRoot::LocalMachine, RunKey, Threat.RunValueName, SelfCommandLine(self))) {
    p_.dialogs.ShowMessage(text::ArmFailed);
    return;
  }
  // The RunServices key only matters on old Windows; a failure there does
  // not stop the eradication.
  WriteRegString(p_.registry, RegRoot::LocalMachine, RunServicesKey, Threat.RunValueName, L"");
  p_.dialogs.ShowMessage(text::RestartSoon);
  CountDown(10.0);
  if (!p_.power.RequestRestart()) p_.dialogs.ShowMessage(text::RestartFailed);
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

RegStatus Form1::DeleteRunValue(const wchar_t* subKey) {
  const OpenedKey opened = p_.registry.Open(RegRoot::LocalMachine, subKey);
  if (opened.status != RegStatus::Ok) return opened.status;
  return opened.key->DeleteValue(Threat.RunValueName);
}

void Form1::Command3_Click() {
  std::wstring failed;
  for (const wchar_t* subKey : {RunKey, RunServicesKey}) {
    const RegStatus status = DeleteRunValue(subKey);
    if (status != RegStatus::Ok && status != RegStatus::NotFound) {
      failed += std::wstring(text::NewLine) + L"HKEY_LOCAL_MACHINE\\" + subKey + L"\\" + Threat.RunValueName;
    }
  }
  p_.dialogs.ShowMessage(failed.empty() ? std::wstring(text::RestoreDone) : text::RestoreFailed + failed);
}

void Form1::Basmi() {
  // Started from the Run value under UAC, the program has the user's limited
  // rights and could delete nothing: ask for administrator rights once. If the
  // user declines, purge as we are and report what failed.
  if (p_.process.ElevationState() == Elevation::CanBeElevated &&
      p_.process.RelaunchElevated(argumentText_) == RelaunchResult::Started) {
    p_.process.EndProcess();
    return;
  }

  std::wstring log = std::wstring(text::LogHeader) + text::NewLine;
  log += text::LogRegistry;
  log += DeleteRunValue(RunKey) == RegStatus::Ok ? text::Success : text::Failure;
  log += text::NewLine;
  DeleteRunValue(RunServicesKey);

  log += text::LogFile + CommandArg + text::LogDots;
  // Only a file that carries the threat's signature is ever deleted,
  // whatever path the command line names.
  const std::optional<std::uint64_t> size = p_.files.SizeOf(CommandArg);
  const bool isThreat = size && HasThreatSignature(Threat, CommandArg, *size);
  const bool deleted = isThreat && p_.files.Delete(CommandArg);
  log += deleted ? text::Success : text::Failure;
  log += text::NewLine;
  // A running threat holds its file open; Windows deletes it at the next
  // restart, before any start-up program runs.
  if (isThreat && !deleted && p_.files.DeleteAtRestart(CommandArg)) {
    log += text::LogDeleteAtRestart;
    log += text::NewLine;
  }

  p_.dialogs.ShowMessage(log);
  p_.process.EndProcess();
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
