// marlet.exe: creates Form1 (its Form_Load fills the template list), shows
// it and runs until it is closed.
#include <windows.h>

#include "form1_win.h"
#include "newer_windows_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  newer_windows::LimitDllSearch();
  Form1PrepareProcess();
  int code = 1;
  if (Form1Create(instance, showCommand)) code = Form1RunMessageLoop();
  return code;
}
