// The shape of a template list item, shared by the template reader that
// writes the items and the issue command that reads them back.
//
//   ■name: SQL text            a head item: head mark, label, separator, text
//      more SQL text           a continuation piece: indent, then the next part
//
// A template longer than one piece is cut every kPieceLength code units; each
// piece after the first is prefixed with kContinuationIndent, so it can never
// be taken for a head item.
#pragma once

#include <cstddef>
#include <string_view>

namespace item_format {

constexpr char16_t kHeadMark = u'\u25A0';          // ■: first character of a head item
constexpr std::u16string_view kLabelSeparator = u": ";  // ends the label
constexpr std::u16string_view kContinuationIndent = u"   ";
constexpr std::size_t kPieceLength = 500;           // code units of text per item

inline bool IsHeadItem(std::u16string_view item) { return !item.empty() && item[0] == kHeadMark; }

}  // namespace item_format
