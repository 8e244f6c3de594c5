// The command line for administrators' scripts: no window, no question, no
// restart; the outcome as an exit code and, on request, a line in a log.
#pragma once

#include "app/command_line.h"
#include "app/eradication.h"
#include "platform/platform.h"

namespace kolvane {

namespace exit_code {
inline constexpr int Success = 0;
inline constexpr int Found = 1;  // /scan
inline constexpr int AccessDenied = 5;
inline constexpr int InvalidParameter = 87;  // a malformed switch line: nothing was changed
inline constexpr int RestartPending = 3010;  // the next restart finishes the removal by itself
}  // namespace exit_code

// Carries out the switch on the machine the eradication reaches and returns
// the exit code. /? shows the usage box.
int RunSwitch(const SwitchRequest& request, Eradication& eradication);

}  // namespace kolvane
