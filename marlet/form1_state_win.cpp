#include "form1_state_win.h"

Form1State g_form1;

Form1State* OpenForm1State() { return &g_form1; }

void Form1Release(Form1State& state) { state = Form1State(); }

HWND ControlWindow(const Form1State& state, int id) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id) return state.controls[i];
  }
  return nullptr;
}
