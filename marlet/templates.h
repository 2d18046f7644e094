// The template catalogue: the built-in templates and the user's template
// file, turned into list items of at most 500 code units (plus the three-space
// prefix of continuation pieces).
#pragma once

#include <string>
#include <vector>

extern const char16_t kTemplateFilePath[];  // c:\vorn3\marlet.txt

// The eleven built-in templates, label and SQL text, in list order.
const std::vector<std::u16string>& BuiltInTemplates();

// Splits one template into list items: pieces of 500 code units, every piece
// after the first prefixed with three spaces.
std::vector<std::u16string> SplitTemplate(const std::u16string& entry);

// Decodes the template file's bytes: a UTF-8 or UTF-16 LE byte-order mark
// selects that encoding; otherwise valid UTF-8 holding a byte above 127 is
// UTF-8; everything else is the ANSI code page (converted with ansiToWide;
// without one, byte by byte as Latin-1). The line breaks are found on the
// bytes, before decoding: a broken character never joins two lines.
std::u16string DecodeTemplateFile(const std::string& bytes,
                                  std::u16string (*ansiToWide)(const std::string&));

// The list items the template file's text gives, in order (without the
// built-ins). Lines end at CR LF or a lone CR.
std::vector<std::u16string> ParseTemplateText(const std::u16string& text);

// Form_Load of marlet: adds the built-ins, then the template file's items, to
// Combo1, the file decoded as DecodeTemplateFile does with `ansiToWide`. A
// missing or unreadable file adds nothing and shows nothing.
void FillTemplateList(std::u16string (*ansiToWide)(const std::string&));
