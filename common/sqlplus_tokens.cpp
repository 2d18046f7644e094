// sqlplus_lines::Tokens, in a file of its own: only the tests call it, and
// the Windows linker keeps every function of a linked file (through the
// file's unwind table), so the programs would carry it otherwise.
#include <string>
#include <vector>

#include "sqlplus_lexer.h"
#include "sqlplus_lines.h"

namespace sqlplus_lines {

using namespace lexing;

std::vector<std::u16string> Tokens(std::u16string_view text) {
  std::vector<std::u16string> tokens;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t word = kNone;       // start of the run being read
  std::size_t construct = kNone;  // start of the literal, name or comment being read
  const auto endWord = [&](std::size_t at) {
    if (word != kNone) tokens.emplace_back(text.substr(word, at - word));
    word = kNone;
  };
  Lexer lexer;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = LineEnd(text, from);
    for (std::size_t i = from; i < end;) {
      const State before = lexer.state;
      const std::size_t next = Step(text, i, end, lexer);
      if (before == State::kCode && lexer.state == State::kCode) {
        if (IsWhite(text[i])) {
          endWord(i);
        } else if (text[i] == u',') {
          endWord(i);
          tokens.emplace_back(u",");
        } else if (word == kNone) {
          word = i;
        }
      } else if (before == State::kCode) {
        endWord(i);
        construct = i;
      }
      if (before != State::kCode && lexer.state == State::kCode) {
        tokens.emplace_back(text.substr(construct, next - construct));
      }
      i = next;
    }
    endWord(end);
    if (lexer.state == State::kLineComment) {  // a "--" opened at the line's end
      tokens.emplace_back(text.substr(construct, end - construct));
      lexer.state = State::kCode;
    }
    if (end == text.size()) break;
    from = end + 2;
  }
  if (lexer.state != State::kCode) tokens.emplace_back(text.substr(construct));
  return tokens;
}

}  // namespace sqlplus_lines
