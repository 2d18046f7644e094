// The boxes and the beep of the fake world: answered from the test's lists.
#include "boxes.h"
#include "fake_platform.h"
#include "input_box.h"
#include "text.h"

int ShowMessageBox(const std::u16string& text, int style, const std::u16string& title) {
  fake::Record("ShowMessageBox(" + text::ToUtf8(text) + "," + std::to_string(style) + "," + text::ToUtf8(title) +
               ")");
  auto& answers = fake::State().messageBoxAnswers;
  if (answers.empty()) return kIdCancel;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::u16string ShowInputBox(const std::u16string& prompt, const std::u16string& title,
                            const std::u16string& defaultText) {
  fake::Record("ShowInputBox(" + text::ToUtf8(prompt) + "," + text::ToUtf8(title) + "," +
               text::ToUtf8(defaultText) + ")");
  auto& answers = fake::State().inputBoxAnswers;
  if (answers.empty()) return std::u16string();
  std::u16string answer = answers.front();
  answers.pop_front();
  return answer;
}

void Beep() { fake::Record("Beep()"); }
