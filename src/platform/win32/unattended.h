// Whether anybody is at the screen for this process. A switch for scripts
// runs unattended: then the release's failure paths (src/ui/lean_runtime.cpp)
// end the process with their code and show nothing.
#pragma once

namespace kolvane::win32 {

inline bool g_unattended = false;

}  // namespace kolvane::win32
