// Shows the whole eradication on a machine without a desktop: drives the
// real program through its window like a user (scan, arm, Wine's end of
// session, the purge's log) and saves a picture of the screen at each step.
//   demo.exe OUTPUT_DIR
// Expects the harmless stand-in of the threat planted (scripts/run --demo).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/threat_profile.h"
#include "driver.h"

namespace {

using namespace e2e;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreen(const std::wstring& path) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
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

bool Run(const std::wstring& dir) {
  Demo demo(dir);
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  if (form == nullptr) return Demo::Fail("the window did not appear");
  if (!demo.Shot(L"1-window", "the program as a user starts it")) return false;

  ClickButton(form, L"Scan Windows Anda");
  HWND box = WaitForMessageBox(app.pid());
  if (box == nullptr) return Demo::Fail("the scan gave no answer");
  if (!demo.Shot(L"2-scan", "Scan Windows Anda finds the stand-in")) return false;
  PressOk(box);

  ClickButton(form, L"Basmi Virus Backdoor.Helios.B");
  box = WaitForMessageBox(app.pid(), L"Komputer Anda akan di restart");
  if (box == nullptr) return Demo::Fail("the arming gave no warning");
  if (!demo.Shot(L"3-arming", "Basmi Virus took over the Run value and warns of the restart")) return false;
  PressOk(box);
  if (!demo.Shot(L"4-countdown", "ten seconds to the restart; the window still answers")) return false;

  // Wine's end of session closes the program and starts the Run value.
  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", 40000);
  if (log == nullptr) return Demo::Fail("the purge did not start after the restart");
  if (!demo.Shot(L"5-purge-log", "after the restart: the purge's log")) return false;
  const DWORD purge = ProcessOf(log);
  PressOk(log);
  app.WaitForExit(kTimeoutMs);
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, purge);
  if (process != nullptr) {
    ::WaitForSingleObject(process, kTimeoutMs);
    ::CloseHandle(process);
  }
  if (FileExists(ThreatPath())) return Demo::Fail("the stand-in is still there");
  if (ReadValue(kolvane::RunKey, L"ssvchost") || ReadValue(kolvane::RunServicesKey, L"ssvchost")) {
    return Demo::Fail("a start-up value is still there");
  }
  std::printf("the stand-in and its start-up values are gone\n");
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
