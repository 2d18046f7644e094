#include "form1_state_win.h"

Form1State g_form1;

void FreeFonts(Form1Fonts& fonts) {
  if (fonts.combo) DeleteObject(fonts.combo);
  if (fonts.ui) DeleteObject(fonts.ui);
  fonts = Form1Fonts();
}

void Form1Release(Form1State& state) {
  FreeFonts(state.fonts);
  for (HBRUSH brush : state.labelBrushes) {
    if (brush) DeleteObject(brush);
  }
  FreePicture(state.picture);
  state = Form1State();
}
