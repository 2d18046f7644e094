#include "not_sent_message.h"

#include <string>

namespace {

using sqlplus_lines::Holder;

constexpr std::size_t kExcerptUnits = 30;

std::u16string Number(std::size_t n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n > 0);
  return digits;
}

// The start of line `number` (1-based; lines end with CR LF), without its
// leading spaces and tabs, cut to a few characters.
std::u16string Excerpt(const std::u16string& text, std::size_t number) {
  std::size_t from = 0;
  for (std::size_t n = 1; n < number && from != std::u16string::npos; ++n) {
    from = text.find(u"\r\n", from);
    if (from != std::u16string::npos) from += 2;
  }
  if (from == std::u16string::npos) return std::u16string();
  std::size_t end = text.find(u"\r\n", from);
  if (end == std::u16string::npos) end = text.size();
  while (from < end && (text[from] == u' ' || text[from] == u'\t')) ++from;
  if (end - from <= kExcerptUnits) return text.substr(from, end - from);
  std::size_t cut = from + kExcerptUnits;
  if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;  // keep a surrogate pair whole
  return text.substr(from, cut - from) + u"…";
}

std::u16string HolderName(Holder holder) {
  switch (holder) {
    case Holder::kLiteral:
      return u"文字列リテラル";
    case Holder::kQuotedName:
      return u"引用符で囲んだ名前";
    case Holder::kComment:
      return u"コメント";
    default:
      return u"SQL";
  }
}

}  // namespace

const std::u16string kNotSentTitle = u"SQL 発行";

std::u16string NotSentMessage(const sqlplus_lines::Outcome& found, const std::u16string& text) {
  const std::u16string line = Number(found.line) + u" 行目「" + Excerpt(text, found.line) + u"」";
  std::u16string what;
  if (found.found == sqlplus_lines::Found::kActingLine) {
    what = line + u"は" + HolderName(found.holder) +
           u"の中の行ですが、SQL*Plus はこの行だけでコマンドとして実行してしまいます"
           u" (「/」や「.」だけの行、「#」で始まる行)。";
  } else {
    const std::u16string reason = found.holder == Holder::kCode ? u"改行できる所 (空白やカンマ) がないため"
                                                                : HolderName(found.holder) + u"が長すぎるため";
    what = line + u"は SQL*Plus が受け付ける 1 行の長さ (2,499 バイト) を超えていますが、" + reason +
           u"、SQL の改行できる所で分けても収まりません。";
  }
  return what + u"\n\nSQL は送信していません。";
}
