#include "form1_state_win.h"

Form1State g_form1;

void Form1Release(Form1State& state) { state = Form1State(); }
