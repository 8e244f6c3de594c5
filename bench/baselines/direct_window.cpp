// Baseline for the start-up figure: the same window written the most direct
// way. One class, the eight controls at their design places (96 DPI) with
// their design texts, the Fixedsys font; the program's icon and manifest
// come from the same resource file.
#include <windows.h>

static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BenchDirect";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowW(L"BenchDirect", L"Bench", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                              CW_USEDEFAULT, 431, 353, nullptr, nullptr, instance, nullptr);
  HFONT font = ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Fixedsys");
  struct Control {
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
    int x, y, w, h;
  };
  const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
  const Control controls[] = {
      {L"BUTTON", L"Scan Windows Anda", button, 8, 40, 401, 25},
      {L"BUTTON", L"Basmi Virus", button, 8, 72, 401, 25},
      {L"BUTTON", L"Remove Registry", button, 8, 104, 401, 25},
      {L"STATIC", L"", SS_LEFT, 8, 136, 401, 153},
      {L"STATIC", L"Directory Windows Anda :", SS_LEFT, 8, 8, 225, 17},
      {L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 248, 8, 161, 25},
      {L"BUTTON", L"www.example.com", button, 8, 296, 201, 25},
      {L"BUTTON", L"Virustotal.com", button, 216, 296, 201, 25},
  };
  for (const Control& c : controls) {
    HWND child =
        ::CreateWindowExW(c.cls[0] == L'E' ? WS_EX_CLIENTEDGE : 0, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x,
                          c.y, c.w, c.h, hwnd, nullptr, instance, nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ::ShowWindow(hwnd, show);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!::IsDialogMessageW(hwnd, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  ::DeleteObject(font);
  return 0;
}
