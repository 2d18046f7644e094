// The smallest Windows program: starts and ends at once. Its start-to-exit
// time under Wine is the baseline beside which tovrin's start-up is measured.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
