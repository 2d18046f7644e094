// The shape of a template list item and the built-in templates with their
// kinds, shared by the template reader that writes the items and the issue
// command that reads them back.
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

// What the issue command asks before it sends a template of each kind.
enum class Kind {
  kPlain,           // nothing: sent as it is
  kCommitQuestion,  // commit or roll back (Yes / No / Cancel)
  kTableLayout,     // a table name, for a describe command
  kEdit,            // the SQL text, edited in an input box
};

struct BuiltIn {
  std::u16string_view label;  // head mark, name, separator
  Kind kind;
  std::u16string_view sql;
};

// The built-in templates, in list order. A label gives its kind to any item
// that begins with it, the user's own templates included; no label is a
// prefix of another.
inline constexpr BuiltIn kBuiltIns[] = {
    {u"■コミット or ロールバック: ", Kind::kCommitQuestion, u"commit; or rollback;"},
    {u"■dbms_output: ", Kind::kPlain, u"set serverout on;"},
    {u"■テーブルレイアウト: ", Kind::kTableLayout, u"describe 受注m;"},
    {u"■テーブルリスト: ", Kind::kPlain, u"select * from tab;"},
    {u"■テーブルコピー: ", Kind::kEdit, u"create table 受注w as select * from 受注m;"},
    {u"■テーブルクリア: ", Kind::kEdit, u"truncate table ダミー;"},
    {u"■テーブル削除: ", Kind::kEdit, u"drop table/view ダミー;"},
    {u"■レコード参照: ", Kind::kEdit, u"select * from ダミー where ... order by ...;"},
    {u"■レコード追加: ", Kind::kEdit, u"insert into ダミー () values ();"},
    {u"■レコード修正: ", Kind::kEdit, u"update ダミー set ... where ...;"},
    {u"■レコード削除: ", Kind::kEdit, u"delete from ダミー where ...;"},
};

// The kind of the item text `item`: that of the built-in label it begins with,
// compared code unit by code unit; plain when it begins with none.
inline Kind KindOf(std::u16string_view item) {
  for (const BuiltIn& builtIn : kBuiltIns) {
    if (item.substr(0, builtIn.label.size()) == builtIn.label) return builtIn.kind;
  }
  return Kind::kPlain;
}

}  // namespace item_format
