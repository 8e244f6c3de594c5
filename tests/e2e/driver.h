// Drives the real program through its windows, as a user would: finds
// windows by caption, clicks buttons by their text, reads and answers
// message boxes. Every wait is bounded. The driver owns no window, so a
// Wine end of session leaves it running.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// 15 s, or ten times that where KOLVANE_SLOW is set: there Wine's 32-bit
// half is emulated and each 32-bit process takes about a minute to start.
DWORD TimeoutMs();
inline const DWORD kTimeoutMs = TimeoutMs();

// True when the program under test is a 32-bit program on 64-bit Windows,
// which has both halves: this test program is one, or a 64-bit test
// program drives the 32-bit release.
bool IsWow64();
// Where this test program reaches a file that the program under test
// names path: the same, unless a 64-bit test program drives the 32-bit
// release, for which System32 is SysWOW64 and Sysnative is System32.
std::wstring Real(const std::wstring& path);
// The same C: path as Wine's drive Z: (the Linux root) reaches it, through
// the prefix's drive_c: another name of the very same file or folder.
std::wstring ThroughLinuxRoot(const std::wstring& path);
// The program that stands in for a running threat of the given bitness:
// the one KOLVANE_STANDIN32 or KOLVANE_STANDIN64 names, or else the one
// built beside the tests.
std::wstring StandIn(int bits);

// Full path of the program under test: next to the test executable, or
// the one KOLVANE_PROGRAM names.
std::wstring ProgramPath();

class App {
 public:
  // Starts the program (or another one) with the given argument text (none
  // when empty) and, unless told not to, waits until it is ready for input.
  // With suspended, it waits before its first instruction until Resume;
  // with desktop ("station\\desktop"), it runs there.
  explicit App(const std::wstring& arguments = L"", const std::wstring& program = ProgramPath(), bool waitIdle = true,
               bool suspended = false, const wchar_t* desktop = nullptr);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  DWORD pid() const { return info_.dwProcessId; }
  bool started() const { return info_.hProcess != nullptr; }
  // True when the process ended within the time; exitCode receives its code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  void Resume() { ::ResumeThread(info_.hThread); }

 private:
  PROCESS_INFORMATION info_{};
};

// The visible top-level window of process pid (any process when pid is 0)
// with this class and caption; null when none appeared in time.
HWND WaitForWindow(DWORD pid, const wchar_t* className, const std::wstring& caption, DWORD timeoutMs = kTimeoutMs);
// A visible message box of process pid (any when 0) whose text begins with prefix.
HWND WaitForMessageBox(DWORD pid, const std::wstring& prefix = L"", DWORD timeoutMs = kTimeoutMs);
// True when no visible window of this caption shows up in the time given.
bool NoWindowFor(const std::wstring& caption, DWORD ms);

std::wstring WindowText(HWND window);
std::wstring MessageBoxText(HWND box);
// Checks, as a user would see it, that a message box offers OK only and
// shows no icon; empty when it does, else what is wrong.
std::wstring PlainBoxFault(HWND box);
// The purge's log for these outcomes of the registry and the file.
std::wstring PurgeLog(const std::wstring& registry, const std::wstring& path, const std::wstring& file);
// What became of process pid, for a test that waited for it in vain:
// whether it runs or its exit code, and its top-level windows (class,
// caption, visible or not).
std::wstring DescribeProcess(DWORD pid);
// Presses OK and waits until the box is gone.
bool PressOk(HWND box);
// Posts a click to the child button with this text; false when there is none.
bool ClickButton(HWND parent, const std::wstring& text);
HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text);
DWORD ProcessOf(HWND window);
// True once process pid runs its program (the system tells its program
// file); where Wine's 32-bit half is emulated, that takes a while.
bool WaitUntilRunning(DWORD pid);
std::wstring ClassOf(HWND window);

// Runs the prefix's wineboot, which applies pending deletions (and starts
// the Run values) like a restart; true when it ended in time.
bool RunWineboot();

// The threat's place in the system directory as this 32-bit process sees it.
std::wstring ThreatPath();
// The threat's place in the 64-bit System32, reached from a 32-bit process
// on 64-bit Windows.
std::wstring ThreatPath64();
void PlantFile(const std::wstring& path, DWORD size);
// A real program that only waits (StandIn for this test program's own
// bitness, or the one at standIn), copied to path and padded to size, as the
// running threat would be there.
void PlantProgram(const std::wstring& path, DWORD size, std::wstring standIn = L"");
bool FileExists(const std::wstring& path);
// Deletes the file as this test program reaches it, read-only or not, so
// that a test that failed halfway leaves nothing for the next one.
void RemoveFile(const std::wstring& path);
// The bytes of a file, empty when it cannot be read.
std::string ReadFileText(const std::wstring& path);

// HKLM values as the program under test sees them (view 0), or in another
// view (KEY_WOW64_64KEY).
void SetValue(const std::wstring& key, const std::wstring& name, const std::wstring& data, REGSAM view = 0);
bool ReadValue(const std::wstring& key, const std::wstring& name, std::wstring* data = nullptr, REGSAM view = 0);
void DeleteValue(const std::wstring& key, const std::wstring& name, REGSAM view = 0);
// Deletes the value in both views of a 64-bit Windows, so that no test
// leaves a start-up value behind for Wine to start later.
void DeleteValueEverywhere(const std::wstring& key, const std::wstring& name);
// Copies the program under test to path and maps the copy as the loader
// maps a program that does not sit at the address it was built for, for
// the check of a program's file against its image. Wine moves only DLLs
// when it maps them into a running process, so the copy is marked a DLL
// (its entry point is never called); null when it could not be mapped.
HMODULE MapProgramCopy(const std::wstring& path);
// Where the arming copies the program.
std::wstring CopyPath();

}  // namespace e2e
