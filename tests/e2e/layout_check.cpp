#include "layout_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "driver.h"

namespace e2e {
namespace {

struct Edges {
  double left, top, right, bottom;  // twips
};

void ExpectEdges(HWND form, HWND child, const std::string& what, const Edges& twips, int dpi) {
  ASSERT_NE(child, nullptr) << "no control " << what;
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  auto px = [dpi](double t) { return static_cast<int>(std::lround(t * dpi / 1440.0)); };
  EXPECT_EQ(r.left, px(twips.left)) << what;
  EXPECT_EQ(r.top, px(twips.top)) << what;
  EXPECT_EQ(r.right, px(twips.right)) << what;
  EXPECT_EQ(r.bottom, px(twips.bottom)) << what;
}

void ExpectAt(HWND form, const wchar_t* className, const std::wstring& text, const Edges& twips, int dpi) {
  ExpectEdges(form, FindChild(form, className, text), std::string(text.begin(), text.end()), twips, dpi);
}

}  // namespace

int DpiOfScreen() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

void ExpectDesignLayout(HWND form, int dpi) {
  RECT client{};
  ::GetClientRect(form, &client);
  const double w = client.right * 1440.0 / dpi;
  const double h = client.bottom * 1440.0 / dpi;
  std::wstring dir(MAX_PATH, L'\0');
  dir.resize(::GetWindowsDirectoryW(dir.data(), MAX_PATH));

  ExpectAt(form, L"Static", L"Directory Windows Anda :", {120, 120, 3495, 375}, dpi);
  ExpectAt(form, L"Edit", dir, {3720, 120, w - 160, 495}, dpi);
  ExpectAt(form, L"Button", L"Scan Windows Anda", {120, 600, w - 110, 975}, dpi);
  ExpectAt(form, L"Button", L"Basmi Virus Backdoor.Helios.B", {120, 1080, w - 110, 1455}, dpi);
  ExpectAt(form, L"Button", L"Remove Registry", {120, 1560, w - 110, 1935}, dpi);
  ExpectAt(form, L"Button", L"www.example.com", {0, h - 420, w / 2, h - 45}, dpi);
  ExpectAt(form, L"Button", L"Virustotal.com", {w / 2, h - 420, w, h - 45}, dpi);
  HWND about = nullptr;
  for (HWND c = ::FindWindowExW(form, nullptr, L"Static", nullptr); c != nullptr && about == nullptr;
       c = ::FindWindowExW(form, c, L"Static", nullptr)) {
    if (WindowText(c).rfind(L"Ini adalah program Kolvane", 0) == 0) about = c;
  }
  ExpectEdges(form, about, "Label3", {120, 2040, w - 110, 4335}, dpi);
}

}  // namespace e2e
