// Baseline for the countdown figure: a window that polls for events
// without ever sleeping, as a wait loop without a blocking call does.
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
  wc.lpszClassName = L"BenchBusy";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowW(L"BenchBusy", L"Bench", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200,
                              nullptr, nullptr, instance, nullptr);
  ::ShowWindow(hwnd, show);
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      ::DispatchMessageW(&msg);
    }
  }
}
