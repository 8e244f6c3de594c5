// The window Form1 lives in: creates the controls, maps twips to pixels and
// hands each message to a typed handler and from there to Form1.
#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "app/design.h"
#include "app/form1.h"
#include "platform/win32/scoped_handle.h"

namespace kolvane::ui {

class MainWindow : public FormView {
 public:
  // dpiOf answers the DPI of a window, or of the screen for null; tests give
  // one of their own, since Wine has one DPI everywhere.
  using DpiQuery = UINT (*)(HWND);
  explicit MainWindow(HINSTANCE instance, DpiQuery dpiOf = nullptr);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the hidden window with its controls at their design places and
  // with the texts set so far. Texts may be set before it exists.
  bool Create();
  HWND hwnd() const { return hwnd_; }
  void Attach(Form1* form) { form_ = form; }

  // FormView
  void SetText(Control control, const std::wstring& text) override;
  std::wstring GetText(Control control) override;
  void SetLeft(Control control, float twips) override;
  void SetTop(Control control, float twips) override;
  void SetWidth(Control control, float twips) override;
  float ClientWidth() override;
  float ClientHeight() override;
  bool IsMinimized() override;

 private:
  struct Place {
    float left, top, width, height;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnSize(UINT state);
  void OnCommand(int id, int code, HWND control);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  bool OnActivate(UINT state);
  UINT Dpi(HWND hwnd) const;
  // Gives the client area its design size at the window's own DPI.
  void SizeForDpi();

  HWND Handle(Control control) const;
  int ToPixels(float twips) const;
  float ToTwips(int pixels) const;
  void ApplyPlace(Control control);
  void MakeFont();

  HINSTANCE instance_;
  DpiQuery dpiOf_;
  HWND hwnd_ = nullptr;
  HWND focus_ = nullptr;  // the control that had the focus when the window lost it
  Form1* form_ = nullptr;
  UINT dpi_ = 96;
  std::array<HWND, 9> handles_{};
  std::array<Place, 9> places_{};
  std::array<std::wstring, 9> texts_{};
  win32::ScopedGdiObject font_;
};

}  // namespace kolvane::ui
