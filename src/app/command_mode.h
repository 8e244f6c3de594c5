// The command line for administrators' scripts: no window, no question, no
// restart; the outcome as an exit code and, on request, a line in a log.
#pragma once

#include "app/command_line.h"
#include "app/eradication.h"
#include "app/texts.h"
#include "platform/platform.h"

namespace kolvane {

namespace exit_code {
inline constexpr int Success = 0;
inline constexpr int Found = 1;  // /scan
inline constexpr int AccessDenied = 5;
inline constexpr int InvalidParameter = 87;  // a malformed switch line: nothing was changed
inline constexpr int RestartPending = 3010;  // the next restart finishes the removal by itself
}  // namespace exit_code

// The outcome words (texts.h), in the order of their event IDs, 1 to 6.
enum class Word : unsigned char { Clean, Found, Removed, Restart, Refused, Unexamined };

// What one run or step found and did: the outcome word, the description,
// the exit code a switch gives for it.
struct Outcome {
  Word word = Word::Clean;
  std::wstring what;
  int code = exit_code::Success;

  // Ends the description with a refusal, or a place that could not be
  // looked at, and the names that follow.
  void Fail(Word outcomeWord, const char* reason);
  // The same, followed by the one name it is about.
  void Fail(Word outcomeWord, const char* reason, const std::wstring& name);
  // Describes a removal of the threat: the halves (bits as from FindThreat)
  // whose file was there, those whose file the restart deletes, those whose
  // file stays, and what became of the start-up values. True when nothing
  // stays and something was there.
  bool Removal(Eradication& eradication, unsigned found, unsigned pending, unsigned refused,
               const StartupValues& removal);
};

// The outcome word as the log and the event log write it.
const char* WordText(Word word);

// Writes the outcome to the Application log as one record: the step (a
// switch or a button), the word, what happened and the code. With
// registers, the program first registers its own file as the records'
// message file, where that is a file only administrators can change (and
// no such file is registered already), so that Event Viewer finds its
// texts; a run on a Windows that is not running changes nothing of this one.
void Record(Eradication& eradication, const wchar_t* step, const Outcome& out, bool registers = true);

// Describes in out what a removal of the start-up values did, as /remove
// and Remove Registry report it.
void ValuesOutcome(Eradication& eradication, const StartupValues& removal, Outcome& out);

// Carries out the switch on the machine the eradication reaches and returns
// the exit code. /? shows the usage box. A line that is not Valid (a
// malformed one, or none where nobody sees the screen) changes nothing and
// gives 87.
int RunSwitch(SwitchLine line, const SwitchRequest& request, Eradication& eradication);

}  // namespace kolvane
