// The real window and the Win32 requests that Wine cannot show in effect:
// a DPI change, the controls' font, boxes without an owner, the shutdown
// privilege and the elevated relaunch, all in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/form1.h"
#include "driver.h"
#include "layout_check.h"
#include "platform/fake/fake_platform.h"
#include "platform/win32/program_image.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"
#include "ui/main_window.h"

namespace kolvane {
namespace {

// Answers the next message box of this process from another thread, the
// way a user would: reads it and presses OK.
class BoxAnswerer {
 public:
  BoxAnswerer() : thread_(::CreateThread(nullptr, 0, &BoxAnswerer::Run, this, 0, nullptr)) {}
  ~BoxAnswerer() { Join(); }
  void Join() {
    if (thread_.is_valid()) ::WaitForSingleObject(thread_.get(), 2 * e2e::kTimeoutMs);
    thread_.reset();
  }
  bool seen = false;
  HWND owner = nullptr;
  std::wstring caption, text, fault;

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<BoxAnswerer*>(param);
    HWND box = e2e::WaitForMessageBox(::GetCurrentProcessId(), L"", 5000);
    if (box == nullptr) return 0;
    self->seen = true;
    self->owner = ::GetWindow(box, GW_OWNER);
    self->caption = e2e::WindowText(box);
    self->text = e2e::MessageBoxText(box);
    self->fault = e2e::PlainBoxFault(box);
    e2e::PressOk(box);
    return 0;
  }
  win32::ScopedKernelHandle thread_;
};

// WM_DESTROY posts a quit message, which would end the next modal loop.
void DrainQuit() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// A plain top-level window to own the boxes.
HWND MakeOwner() {
  return ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
}

TEST(Win32Dialogs, BoxWhoseOwnerWasDestroyedStillAppears) {
  HWND owner = MakeOwner();
  ASSERT_NE(owner, nullptr);
  win32::Win32Dialogs dialogs(L"Virus Windows Kolvane");
  dialogs.SetOwner(owner);
  ::DestroyWindow(owner);
  DrainQuit();

  BoxAnswerer user;
  dialogs.ShowMessage(L"Gagal me-restart komputer. Silakan restart komputer Anda secara manual.");
  user.Join();
  ASSERT_TRUE(user.seen) << "no box appeared";
  EXPECT_EQ(user.owner, nullptr);
  EXPECT_EQ(user.caption, L"Virus Windows Kolvane");
  EXPECT_EQ(user.text, L"Gagal me-restart komputer. Silakan restart komputer Anda secara manual.");
  EXPECT_EQ(user.fault, L"");
}

TEST(Win32Dialogs, BoxIsOwnedByTheWindowWhileItLives) {
  HWND owner = MakeOwner();
  ASSERT_NE(owner, nullptr);
  win32::Win32Dialogs dialogs(L"Virus Windows Kolvane");
  dialogs.SetOwner(owner);
  BoxAnswerer user;
  dialogs.ShowMessage(L"Scan Windows Dulu");
  user.Join();
  ASSERT_TRUE(user.seen);
  EXPECT_EQ(user.owner, owner);
  EXPECT_EQ(user.text, L"Scan Windows Dulu");
  ::DestroyWindow(owner);
  DrainQuit();
}

// --- The restart request -------------------------------------------------

bool ShutdownPrivilegeEnabled() {
  win32::ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &set.Privilege[0].Luid)) return false;
  BOOL held = FALSE;
  return ::PrivilegeCheck(token.get(), &set, &held) && held;
}

bool SetShutdownPrivilege(bool enabled) {
  win32::ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
  return ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
         ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

struct RestartRequest {
  int calls = 0;
  UINT flags = 0;
  DWORD reason = 1;
  bool privilegeEnabled = false;
  BOOL answer = TRUE;
} g_restart;

BOOL WINAPI RecordRestart(UINT flags, DWORD reason) {
  ++g_restart.calls;
  g_restart.flags = flags;
  g_restart.reason = reason;
  g_restart.privilegeEnabled = ShutdownPrivilegeEnabled();
  return g_restart.answer;
}

TEST(Win32Power, RestartIsRequestedWithTheShutdownPrivilegeEnabled) {
  ASSERT_TRUE(SetShutdownPrivilege(false)) << "the token holds the shutdown privilege";
  ASSERT_FALSE(ShutdownPrivilegeEnabled());
  g_restart = {};
  win32::Win32Power power(&RecordRestart);
  EXPECT_TRUE(power.RequestRestart());
  EXPECT_EQ(g_restart.calls, 1);
  EXPECT_EQ(g_restart.flags, 0x8002u);
  EXPECT_EQ(g_restart.reason, 0u);
  EXPECT_TRUE(g_restart.privilegeEnabled) << "Windows refuses a restart without it";

  g_restart = {};
  g_restart.answer = FALSE;
  EXPECT_FALSE(power.RequestRestart()) << "a refusal is reported";
}

// --- The elevated relaunch -----------------------------------------------

struct RelaunchRequest {
  int calls = 0;
  DWORD size = 0;
  std::wstring verb, file, parameters;
  int show = 0;
  BOOL answer = TRUE;
  DWORD error = ERROR_SUCCESS;
  bool replaceable = false;  // the file could be written or deleted while it started
} g_relaunch;

std::wstring Text(const wchar_t* text) { return text == nullptr ? L"<null>" : text; }

BOOL WINAPI RecordShellExecuteEx(SHELLEXECUTEINFOW* info) {
  ++g_relaunch.calls;
  g_relaunch.size = info->cbSize;
  g_relaunch.verb = Text(info->lpVerb);
  g_relaunch.file = Text(info->lpFile);
  g_relaunch.parameters = Text(info->lpParameters);
  g_relaunch.show = info->nShow;
  const HANDLE writer =
      ::CreateFileW(info->lpFile, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  g_relaunch.replaceable = writer != INVALID_HANDLE_VALUE;
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  ::SetLastError(g_relaunch.error);
  return g_relaunch.answer;
}

// The program the relaunch must start: a copy of the program, checked
// against an image of it mapped here as the loader maps a program.
std::wstring g_self;
DWORD WINAPI SelfIsTheCopy(HMODULE, LPWSTR buffer, DWORD size) {
  return static_cast<DWORD>(::lstrlenW(::lstrcpynW(buffer, g_self.c_str(), static_cast<int>(size))));
}

TEST(Win32Process, ElevatedRelaunchAsksForThisProgramWithTheSameArguments) {
  wchar_t temp[MAX_PATH + 1];
  ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  g_self = std::wstring(temp) + L"kolvane-relaunch-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const HMODULE image = e2e::MapProgramCopy(g_self);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(win32::CheckProgramFile(g_self.c_str(), image));

  g_relaunch = {};
  win32::Win32Process process({&RecordShellExecuteEx, ::TerminateProcess, ::WaitForSingleObject, &SelfIsTheCopy});
  const std::wstring arguments = L"\"C:\\Program Files\\Tools\\ssvchost.exe\"";
  EXPECT_EQ(process.RelaunchElevated(arguments), RelaunchResult::Started);
  EXPECT_EQ(g_relaunch.calls, 1);
  EXPECT_EQ(g_relaunch.size, sizeof(SHELLEXECUTEINFOW));
  EXPECT_EQ(g_relaunch.verb, L"runas");
  EXPECT_EQ(g_relaunch.file, g_self);
  EXPECT_EQ(g_relaunch.parameters, arguments);
  EXPECT_EQ(g_relaunch.show, SW_SHOWNORMAL);
  EXPECT_FALSE(g_relaunch.replaceable) << "held while the system starts it";

  // The window's own request at the start: the program with no argument.
  g_relaunch = {};
  EXPECT_EQ(process.RelaunchElevated(L""), RelaunchResult::Started);
  EXPECT_EQ(g_relaunch.verb, L"runas");
  EXPECT_EQ(g_relaunch.file, g_self);
  EXPECT_EQ(g_relaunch.parameters, L"");

  g_relaunch = {};
  g_relaunch.answer = FALSE;
  g_relaunch.error = ERROR_CANCELLED;
  EXPECT_EQ(process.RelaunchElevated(arguments), RelaunchResult::Declined);
  g_relaunch.error = ERROR_FILE_NOT_FOUND;
  EXPECT_EQ(process.RelaunchElevated(arguments), RelaunchResult::Failed);

  // Its user renamed the program's file and put another at its name: that
  // one is never started.
  const std::wstring aside = g_self + L".old";
  ASSERT_TRUE(::MoveFileW(g_self.c_str(), aside.c_str()));
  ASSERT_TRUE(::CopyFileW(aside.c_str(), g_self.c_str(), FALSE)) << "even the same bytes are another file";
  g_relaunch = {};
  EXPECT_EQ(process.RelaunchElevated(arguments), RelaunchResult::Failed);
  EXPECT_EQ(g_relaunch.calls, 0);
  ::FreeLibrary(image);
  ::DeleteFileW(g_self.c_str());
  ::DeleteFileW(aside.c_str());
}

// --- The window ----------------------------------------------------------

// The real window around a Form1 on the in-memory machine.
class WindowLayer : public ::testing::Test {
 public:
  static std::wstring WindowsDirectory() {
    std::wstring dir(MAX_PATH, L'\0');
    dir.resize(::GetWindowsDirectoryW(dir.data(), MAX_PATH));
    return dir;
  }

 protected:
  void SetUp() override {
    m.process.windowsDir = WindowsDirectory();
    ASSERT_EQ(form.Form_Load(), Form1::AfterLoad::ShowWindow);
    ASSERT_TRUE(window.Create());
    window.Attach(&form);
    form.Form_Resize();
    ::ShowWindow(window.hwnd(), SW_SHOWNORMAL);
  }
  void TearDown() override {
    ::DestroyWindow(window.hwnd());
    DrainQuit();
  }

  // What each control draws with: the font it was given and the face the
  // system found for it.
  void ExpectFixedsys(int dpi) {
    int controls = 0;
    for (HWND child = ::GetWindow(window.hwnd(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT), ++controls) {
      const std::wstring what = e2e::ClassOf(child) + L" " + e2e::WindowText(child).substr(0, 20);
      const std::string label(what.begin(), what.end());
      HFONT font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
      ASSERT_NE(font, nullptr) << label;
      LOGFONTW lf{};
      ASSERT_EQ(::GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf))) << label;
      EXPECT_EQ(std::wstring(lf.lfFaceName), L"Fixedsys") << label;
      EXPECT_EQ(lf.lfHeight, -::MulDiv(9, dpi, 72)) << label;
      EXPECT_EQ(lf.lfWeight, FW_NORMAL) << label;
      EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET) << label;
      EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut) << label;

      HDC dc = ::GetDC(child);
      HGDIOBJ old = ::SelectObject(dc, font);
      wchar_t face[LF_FACESIZE] = {};
      ::GetTextFaceW(dc, LF_FACESIZE, face);
      TEXTMETRICW tm{};
      ::GetTextMetricsW(dc, &tm);
      ::SelectObject(dc, old);
      ::ReleaseDC(child, dc);
      EXPECT_EQ(std::wstring(face), L"Fixedsys") << label << ": the system drew another face";
      EXPECT_EQ(tm.tmWeight, FW_NORMAL) << label;
    }
    EXPECT_EQ(controls, 8);
  }

  fake::FakeMachine m;
  ui::MainWindow window{::GetModuleHandleW(nullptr)};
  Form1 form{m.platform(), window};
};

TEST_F(WindowLayer, ControlsDrawInFixedsysAtTheScreensDpi) {
  ExpectFixedsys(e2e::DpiOfScreen());
  e2e::ExpectDesignLayout(window.hwnd(), e2e::DpiOfScreen());
}

TEST_F(WindowLayer, DpiChangeRelaysTheWindowAtTheNewScale) {
  const int dpi = e2e::DpiOfScreen() * 3 / 2;
  RECT outer{};
  ::GetWindowRect(window.hwnd(), &outer);
  // Windows suggests the same window scaled, placed on the new monitor.
  const RECT suggested{outer.left + 40, outer.top + 30, outer.left + 40 + (outer.right - outer.left) * 3 / 2,
                       outer.top + 30 + (outer.bottom - outer.top) * 3 / 2};
  ::SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

  RECT now{};
  ::GetWindowRect(window.hwnd(), &now);
  EXPECT_TRUE(::EqualRect(&now, &suggested)) << "the window takes the suggested rectangle";
  ExpectFixedsys(dpi);
  e2e::ExpectDesignLayout(window.hwnd(), dpi);

  // And back, at a size the new scale keeps in pixels: nothing stays at 150 %.
  const int base = e2e::DpiOfScreen();
  ::SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(base, base), reinterpret_cast<LPARAM>(&now));
  ExpectFixedsys(base);
  e2e::ExpectDesignLayout(window.hwnd(), base);
}

TEST_F(WindowLayer, AMinimisedWindowGivesNoControlTheFocusUntilRestored) {
  HWND scan = e2e::FindChild(window.hwnd(), L"Button", L"Scan Windows Anda");
  ASSERT_NE(scan, nullptr);
  ::SetForegroundWindow(window.hwnd());
  ::SetFocus(scan);
  ::SendMessageW(window.hwnd(), WM_ACTIVATE, WA_INACTIVE, 0);
  ::ShowWindow(window.hwnd(), SW_MINIMIZE);
  EXPECT_FALSE(::IsChild(window.hwnd(), ::GetFocus())) << "minimised, no control has the focus";
  // Activated from the taskbar while still minimised: Enter must not press
  // a button nobody sees.
  ::SendMessageW(window.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(::IsChild(window.hwnd(), ::GetFocus()));
  ::ShowWindow(window.hwnd(), SW_RESTORE);
  ::SetActiveWindow(window.hwnd());
  EXPECT_EQ(::GetFocus(), scan) << "restored, the window gives the focus back";
}

// Started on a second monitor of another scale: the window has that
// monitor's DPI from the start and no WM_DPICHANGED tells it so.
UINT SecondMonitorDpi(HWND hwnd) {
  return static_cast<UINT>(hwnd == nullptr ? e2e::DpiOfScreen() : e2e::DpiOfScreen() * 3 / 2);
}

TEST(WindowOnASecondMonitor, OpensSizedForItsOwnDpi) {
  fake::FakeMachine m;
  m.process.windowsDir = WindowLayer::WindowsDirectory();
  ui::MainWindow window(::GetModuleHandleW(nullptr), &SecondMonitorDpi);
  Form1 form(m.platform(), window);
  ASSERT_EQ(form.Form_Load(), Form1::AfterLoad::ShowWindow);
  ASSERT_TRUE(window.Create());
  window.Attach(&form);
  form.Form_Resize();
  ::ShowWindow(window.hwnd(), SW_SHOWNORMAL);
  const int dpi = e2e::DpiOfScreen() * 3 / 2;
  RECT client{};
  ::GetClientRect(window.hwnd(), &client);
  // At least the design client area, 6345 x 4890 twips, at that DPI. Wine
  // draws its frame at one DPI whatever the window's, so the frame Windows
  // computes for 150 % leaves a few pixels more inside.
  const int width = (6345 * dpi + 720) / 1440;
  const int height = (4890 * dpi + 720) / 1440;
  EXPECT_GE(client.right, width);
  EXPECT_GE(client.bottom, height);
  EXPECT_LE(client.right, width + 8);
  EXPECT_LE(client.bottom, height + 16);
  e2e::ExpectDesignLayout(window.hwnd(), dpi);
  ::DestroyWindow(window.hwnd());
  DrainQuit();
}

}  // namespace
}  // namespace kolvane
