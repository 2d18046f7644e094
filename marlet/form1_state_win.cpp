#include "form1_state_win.h"

#include <cstdlib>
#include <new>

namespace {

// The window of the open Form1, for the functions of form1.h, which are not
// given one. The state itself is reached through the window.
HWND g_form1Window = nullptr;

}  // namespace

bool Form1StateCreate(HWND window, const CREATESTRUCTW& create) {
  // Out of memory is a null here, not an exception thrown through the window
  // procedure (and the library's non-throwing new would cost more code).
  void* memory = std::malloc(sizeof(Form1State));
  if (!memory) return false;
  Form1State* state = new (memory) Form1State();
  state->instance = create.hInstance;
  state->window = window;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  g_form1Window = window;
  return true;
}

Form1State* Form1StateOf(HWND window) {
  return window ? reinterpret_cast<Form1State*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

Form1State* OpenForm1State() { return Form1StateOf(g_form1Window); }

void Form1StateDestroy(HWND window) {
  Form1State* state = Form1StateOf(window);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (window == g_form1Window) g_form1Window = nullptr;
  if (!state) return;
  state->~Form1State();
  std::free(state);
}

HWND ControlWindow(const Form1State& state, int id) {
  for (int i = 0; i < layout::kControlCount; ++i) {
    if (layout::kControls[i].id == id) return state.controls[i];
  }
  return nullptr;
}
