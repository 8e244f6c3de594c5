// Stands in for the running backdoor in the end-to-end tests: a program
// that only waits. The tests copy it to the threat's place and pad it to
// the threat's size.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::Sleep(120000);
  return 0;
}
