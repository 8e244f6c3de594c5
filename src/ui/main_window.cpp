#include "ui/main_window.h"

#include "app/texts.h"
#include "platform/win32/loaded_function.h"
#include "ui/resource.h"

namespace kolvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"KolvaneForm1";
// Sent by Windows 8.1 and later; older headers do not name it.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr int kFirstControlId = 100;

int IndexOf(Control control) { return static_cast<int>(control); }

UINT DpiOf(HWND hwnd) {
  // GetDpiForWindow exists from Windows 10 1607 on; older systems have one
  // DPI for the whole screen.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = win32::LoadedFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return dpi;
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return L"STATIC";
    case ControlKind::TextBox:
      return L"EDIT";
    case ControlKind::Button:
      break;
  }
  return L"BUTTON";
}

DWORD StyleOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return WS_CHILD | WS_VISIBLE | SS_LEFT;
    case ControlKind::TextBox:
      // Read-only: the directory can be selected and copied, not edited.
      return WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY;
    case ControlKind::Button:
      break;
  }
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
}

std::wstring DesignText(Control control) {
  switch (control) {
    case Control::Label1:
      return text::Label1;
    case Control::Command1:
      return text::Command1;
    case Control::Command2:
      return text::Command2;
    case Control::Command3:
      return text::Command3;
    case Control::Command5:
      return Form1::Command5Caption();
    case Control::Command6:
      return Form1::Command6Caption();
    default:
      return {};
  }
}

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, DpiQuery dpiOf) : instance_(instance), dpiOf_(dpiOf) {
  texts_[IndexOf(Control::Form1)] = text::InitialCaption;
  for (const ControlDesign& design : DesignControls) {
    places_[IndexOf(design.control)] = {design.left, design.top, design.width, design.height};
    texts_[IndexOf(design.control)] = DesignText(design.control);
  }
}

bool MainWindow::Create() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainWindow::WindowProc;
  wc.hInstance = instance_;
  wc.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KOLVANE), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  wc.hIconSm = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KOLVANE), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  // The client area has its design size at the screen's DPI.
  dpi_ = Dpi(nullptr);
  const UINT sizedFor = dpi_;
  RECT rect{0, 0, ToPixels(DesignClientWidth), ToPixels(DesignClientHeight)};
  ::AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
  hwnd_ = ::CreateWindowExW(0, kClassName, texts_[IndexOf(Control::Form1)].c_str(), kWindowStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance_,
                            this);
  // On a second monitor of another scale the window gets that monitor's DPI
  // (OnCreate placed the controls for it) but no WM_DPICHANGED: the frame
  // is sized for the main monitor.
  if (hwnd_ != nullptr && dpi_ != sizedFor) SizeForDpi();
  return hwnd_ != nullptr;
}

UINT MainWindow::Dpi(HWND hwnd) const { return dpiOf_ != nullptr ? dpiOf_(hwnd) : DpiOf(hwnd); }

void MainWindow::SizeForDpi() {
  RECT rect{0, 0, ToPixels(DesignClientWidth), ToPixels(DesignClientHeight)};
  // Windows 10 1607 and later know the frame at any DPI.
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  const auto adjustForDpi = win32::LoadedFunction<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr || !adjustForDpi(&rect, kWindowStyle, FALSE, 0, dpi_)) {
    ::AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
  }
  ::SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MainWindow* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  return self != nullptr ? self->HandleMessage(msg, wParam, lParam) : ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case kWmDpiChanged:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      if (OnActivate(LOWORD(wParam))) return 0;
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
  }
}

void MainWindow::OnCreate() {
  dpi_ = Dpi(hwnd_);
  MakeFont();
  for (const ControlDesign& design : DesignControls) {
    const int index = IndexOf(design.control);
    const DWORD exStyle = design.kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0;
    handles_[index] =
        ::CreateWindowExW(exStyle, ClassOf(design.kind), texts_[index].c_str(), StyleOf(design.kind), 0, 0, 0, 0, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance_, nullptr);
    ::SendMessageW(handles_[index], WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ApplyPlace(design.control);
  }
}

void MainWindow::OnSize(UINT state) {
  if (state == SIZE_MINIMIZED) {
    // Minimised, the window shows no control, so none may take a key: as
    // Windows does for an active minimised window, the focus goes, and
    // comes back when the window is restored.
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(hwnd_, focus)) {
      focus_ = focus;
      ::SetFocus(nullptr);
    }
    return;
  }
  if (form_ != nullptr) form_->Form_Resize();
  // Restored while active: the control that had the focus gets it back.
  if (::GetActiveWindow() == hwnd_ && !::IsChild(hwnd_, ::GetFocus()) && focus_ != nullptr && ::IsWindow(focus_)) {
    ::SetFocus(focus_);
  }
}

void MainWindow::OnCommand(int id, int code, HWND control) {
  if (id == IDOK && control == nullptr) {
    // Enter: the dialog manager reports it as IDOK; press the focused button.
    HWND focus = ::GetFocus();
    for (const ControlDesign& design : DesignControls) {
      if (design.kind == ControlKind::Button && handles_[IndexOf(design.control)] == focus) {
        ::SendMessageW(focus, BM_CLICK, 0, 0);
      }
    }
    return;
  }
  if (code != BN_CLICKED || form_ == nullptr) return;
  switch (static_cast<Control>(id - kFirstControlId)) {
    case Control::Command1:
      form_->Command1_Click();
      break;
    case Control::Command2:
      form_->Command2_Click();
      break;
    case Control::Command3:
      form_->Command3_Click();
      break;
    case Control::Command5:
      form_->Command5_Click();
      break;
    case Control::Command6:
      form_->Command6_Click();
      break;
    default:
      break;
  }
}

bool MainWindow::OnActivate(UINT state) {
  // As a dialog box does: the focused control is kept while another window
  // (a message box, another program) is active and gets the focus back.
  // Left to itself, Windows would focus the frame, where keys do nothing.
  if (state == WA_INACTIVE) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(hwnd_, focus)) focus_ = focus;
    return false;
  }
  // A minimised window shows no control: Enter must not press one. The
  // focus comes back when the window is restored (OnSize).
  if (focus_ == nullptr || !::IsWindow(focus_) || ::IsIconic(hwnd_)) return false;
  ::SetFocus(focus_);
  return true;
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  MakeFont();
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // The controls' twips map to other pixels now, even if the window kept
  // its size in pixels (and so got no WM_SIZE).
  for (const ControlDesign& design : DesignControls) ApplyPlace(design.control);
  if (form_ != nullptr && !IsMinimized()) form_->Form_Resize();
}

void MainWindow::MakeFont() {
  // Fixedsys 9 pt, normal weight, ANSI character set. The controls take the
  // new font before the old one is freed.
  win32::ScopedGdiObject font(::CreateFontW(-::MulDiv(9, static_cast<int>(dpi_), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                            FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Fixedsys"));
  std::swap(font, font_);
  for (HWND handle : handles_) {
    if (handle != nullptr) ::SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  }
}

HWND MainWindow::Handle(Control control) const {
  return control == Control::Form1 ? hwnd_ : handles_[IndexOf(control)];
}

int MainWindow::ToPixels(float twips) const {
  // Rounds half away from zero, as lround does; the library's lround would
  // bring its own unwind tables into the program.
  const double pixels = static_cast<double>(twips) * dpi_ / 1440.0;
  return pixels < 0 ? -static_cast<int>(-pixels + 0.5) : static_cast<int>(pixels + 0.5);
}

float MainWindow::ToTwips(int pixels) const { return static_cast<float>(pixels * 1440.0 / dpi_); }

void MainWindow::ApplyPlace(Control control) {
  if (Handle(control) == nullptr) return;
  // Edges are rounded, not sizes, so neighbours meet without gap or overlap.
  const Place& p = places_[IndexOf(control)];
  const int left = ToPixels(p.left);
  const int top = ToPixels(p.top);
  ::SetWindowPos(Handle(control), nullptr, left, top, ToPixels(p.left + p.width) - left,
                 ToPixels(p.top + p.height) - top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SetText(Control control, const std::wstring& text) {
  texts_[IndexOf(control)] = text;
  if (HWND handle = Handle(control); handle != nullptr) ::SetWindowTextW(handle, text.c_str());
}

// The texts are the program's own (the user cannot edit any of them), so the
// last one set is what the control shows.
std::wstring MainWindow::GetText(Control control) { return texts_[IndexOf(control)]; }

void MainWindow::SetLeft(Control control, float twips) {
  places_[IndexOf(control)].left = twips;
  ApplyPlace(control);
}

void MainWindow::SetTop(Control control, float twips) {
  places_[IndexOf(control)].top = twips;
  ApplyPlace(control);
}

void MainWindow::SetWidth(Control control, float twips) {
  places_[IndexOf(control)].width = twips;
  ApplyPlace(control);
}

bool MainWindow::IsMinimized() { return hwnd_ == nullptr || ::IsIconic(hwnd_) != FALSE; }

float MainWindow::ClientWidth() {
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  return ToTwips(rect.right);
}

float MainWindow::ClientHeight() {
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  return ToTwips(rect.bottom);
}

}  // namespace kolvane::ui
