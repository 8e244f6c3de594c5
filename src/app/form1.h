// The program's one window, as state and event handlers. It reaches the
// machine only through the Platform it is given.
#pragma once

#include <cstdint>
#include <string>

#include "app/command_mode.h"
#include "app/eradication.h"
#include "app/threat_profile.h"
#include "platform/platform.h"

namespace kolvane {

inline constexpr wchar_t HomePageHost[] = L"www.example.com";
inline constexpr wchar_t InfoSiteDomain[] = L"virustotal.com";

class Form1 {
 public:
  Form1(Platform platform, FormView& view);

  // What the shell does after Form_Load.
  enum class AfterLoad { ShowWindow, ProcessEnded };

  AfterLoad Form_Load();
  void Form_Resize();
  void Command1_Click();  // scan
  void Command2_Click();  // arm the eradication and restart
  void Command3_Click();  // remove the start-up values
  void Command5_Click();  // author's home page
  void Command6_Click();  // antivirus information site
  // The purge after the restart: removes the start-up values and the threat
  // file, shows the log and ends the process.
  void Basmi();

  // Design caption of Command5 and Command6.
  static std::wstring Command5Caption();
  static std::wstring Command6Caption();

  // Form state.
  ThreatProfile Threat;
  std::wstring SystemDir;
  std::wstring WindowsDir;
  std::wstring CurrentDir;
  std::wstring CommandArg;
  std::int16_t Infected = 0;

 private:
  std::wstring AuthorName() const;
  // Shows one of the program's texts in a box.
  void Say(const char* message);
  // The machine as the eradication sees it, with the directories found so far.
  Eradication Machine() { return Eradication(p_, Threat, SystemDir, WindowsDir); }
  void CountDown(double seconds);
  // Starts this program again, with its argument, with administrator
  // rights where the system can give them and this process was not itself
  // started so.
  RelaunchResult AskForRights();
  // Removes the half's threat file (none: the argument names no threat's
  // place, and nothing is touched), adds the purge's line for it, shown as
  // shownFile, and says what became of it.
  FileOutcome PurgeFile(Eradication& machine, const Half* half, const std::wstring& shownFile, std::wstring& log);
  // The purge's work and its log, with the machine's lock held; out gets
  // what the record says of it, and the exit code a switch would give.
  std::wstring Purge(Eradication& machine, RelaunchResult rights, Outcome& out);

  Platform p_;
  FormView& view_;
  // The argument exactly as the command line gave it, for a relaunch.
  std::wstring argumentText_;
  // Started by a request for administrator rights: never asks again.
  bool startedForRights_ = false;
  // Somebody sees the screen: boxes and the window can be answered.
  bool screenSeen_ = true;
  // Until the restart, nothing may disarm or arm again.
  bool countingDown_ = false;
};

}  // namespace kolvane
