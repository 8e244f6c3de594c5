// Shows the whole eradication on a machine without a desktop: drives the
// real program through its window like a user (scan, arm, Wine's end of
// session, the purge's log) and saves a picture of the program's windows at
// each step; then the same for a stand-in in the 64-bit half of the system,
// which it plants itself (it is a 32-bit program on 64-bit Windows).
//   demo.exe OUTPUT_DIR
// Expects the harmless stand-in of the threat planted in the program's own
// half (scripts/run --demo). Prints "NAME  CAPTION" for each picture.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/threat_profile.h"
#include "driver.h"

namespace {

using namespace e2e;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";

BOOL CALLBACK AddProgramWindow(HWND window, LPARAM param) {
  // The program's window and message boxes; nothing else is on the display.
  if (::IsWindowVisible(window) && (ClassOf(window) == L"KolvaneForm1" || ClassOf(window) == L"#32770")) {
    RECT r{};
    ::GetWindowRect(window, &r);
    RECT* all = reinterpret_cast<RECT*>(param);
    ::UnionRect(all, all, &r);
  }
  return TRUE;
}

// Saves the part of the screen that shows the program's windows, with a
// margin, as a 24-bit BMP file.
bool SaveScreen(const std::wstring& path) {
  RECT all{};
  ::EnumWindows(&AddProgramWindow, reinterpret_cast<LPARAM>(&all));
  constexpr int kMargin = 16;
  RECT screenRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (!::IsRectEmpty(&all)) {
    ::InflateRect(&all, kMargin, kMargin);
    ::IntersectRect(&screenRect, &screenRect, &all);
  }
  const int width = screenRect.right - screenRect.left;
  const int height = screenRect.bottom - screenRect.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, screenRect.left, screenRect.top, SRCCOPY);
  ::SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(stride * height);
  const int lines =
      ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (lines != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(out, &file, sizeof(file), &written, nullptr) &&
            ::WriteFile(out, &info, sizeof(info), &written, nullptr) &&
            ::WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  ::CloseHandle(out);
  return ok;
}

class Demo {
 public:
  explicit Demo(std::wstring dir) : dir_(std::move(dir)) {}

  // A picture of the screen as it is now, once it has been painted.
  bool Shot(const wchar_t* name, const char* what) {
    ::Sleep(300);  // paint time; every wait for a window is bounded elsewhere
    const std::wstring path = dir_ + L"\\" + name + L".bmp";
    if (!SaveScreen(path)) return Fail("could not save a picture");
    std::printf("%ls  %s\n", name, what);
    std::fflush(stdout);
    return true;
  }
  static bool Fail(const char* why) {
    std::printf("demo: %s\n", why);
    std::fflush(stdout);
    return false;
  }

 private:
  std::wstring dir_;
};

// Scan, arm, Wine's end of session and the purge's log, each step a picture
// named with this prefix: first, first + 1, ...
bool Eradicate(Demo& demo, int first, const char* half) {
  const auto name = [first](int step, const wchar_t* what) { return std::to_wstring(first + step) + L"-" + what; };
  char text[200];
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  if (form == nullptr) return Demo::Fail("the window did not appear");
  if (first == 1 && !demo.Shot(name(0, L"window").c_str(), "the program as a user starts it")) return false;
  const int step = first == 1 ? 1 : 0;

  ClickButton(form, L"Scan Windows Anda");
  HWND box = WaitForMessageBox(app.pid());
  if (box == nullptr) return Demo::Fail("the scan gave no answer");
  std::snprintf(text, sizeof(text), "Scan Windows Anda finds the stand-in in %s", half);
  if (!demo.Shot(name(step, L"scan").c_str(), text)) return false;
  PressOk(box);

  ClickButton(form, L"Basmi Virus Backdoor.Helios.B");
  box = WaitForMessageBox(app.pid(), L"Komputer Anda akan di restart");
  if (box == nullptr) return Demo::Fail("the arming gave no warning");
  if (!demo.Shot(name(step + 1, L"arming").c_str(), "Basmi Virus armed the purge and warns of the restart")) {
    return false;
  }
  PressOk(box);
  if (first == 1 && !demo.Shot(name(step + 2, L"countdown").c_str(), "ten seconds to the restart")) return false;

  // Wine's end of session closes the program and starts the Run value.
  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", 3 * kTimeoutMs);
  if (log == nullptr) return Demo::Fail("the purge did not start after the restart");
  std::snprintf(text, sizeof(text), "after the restart: the purge's log (%s)", half);
  if (!demo.Shot(name(first == 1 ? step + 3 : step + 2, L"purge-log").c_str(), text)) return false;
  const DWORD purge = ProcessOf(log);
  PressOk(log);
  app.WaitForExit(kTimeoutMs);
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, purge);
  if (process != nullptr) {
    ::WaitForSingleObject(process, kTimeoutMs);
    ::CloseHandle(process);
  }
  return true;
}

bool Gone(const std::wstring& file, REGSAM view) {
  if (FileExists(file)) return Demo::Fail("the stand-in is still there");
  if (ReadValue(kolvane::RunKey, L"ssvchost", nullptr, view) ||
      ReadValue(kolvane::RunServicesKey, L"ssvchost", nullptr, view)) {
    return Demo::Fail("a start-up value is still there");
  }
  return true;
}

bool Run(const std::wstring& dir) {
  Demo demo(dir);
  if (!Eradicate(demo, 1, "the program's own half") || !Gone(ThreatPath(), 0)) return false;
  std::printf("the stand-in and its start-up values are gone\n");
  if (!IsWow64()) return true;
  PlantFile(ThreatPath64(), 110592);
  SetValue(kolvane::RunKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", KEY_WOW64_64KEY);
  SetValue(kolvane::RunServicesKey, L"ssvchost", L"C:\\windows\\system32\\ssvchost.exe", KEY_WOW64_64KEY);
  if (!Eradicate(demo, 6, "the 64-bit half") || !Gone(ThreatPath64(), KEY_WOW64_64KEY)) return false;
  std::printf("the stand-in in the 64-bit half and its start-up values are gone\n");
  std::fflush(stdout);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::printf("usage: demo.exe OUTPUT_DIR\n");
    return 2;
  }
  return Run(argv[1]) ? 0 : 1;
}
