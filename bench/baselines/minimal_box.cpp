// Baseline for the post-restart figure: one message box.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::MessageBoxW(nullptr, L"Proses Pembasmian Virus...", L"Virus Windows Kolvane", MB_OK);
  return 0;
}
