// marlet.exe: creates Form1 (its Form_Load fills the template list), shows
// it and runs until it is closed.
#include <objbase.h>
#include <windows.h>

#include "form1_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  Form1PrepareProcess();
  // COM, for the imaging component that decodes Image1's picture.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  int code = 1;
  if (Form1Create(instance, showCommand)) code = Form1RunMessageLoop();
  if (com) CoUninitialize();
  return code;
}
