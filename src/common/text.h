// Names as people's logs write them: UTF-8, or Latin-1 where a name is not
// valid UTF-8; and drawn in the small font, whose glyphs are ISO-8859-2.
#ifndef TRENDLE_COMMON_TEXT_H_
#define TRENDLE_COMMON_TEXT_H_

#include <string>
#include <string_view>

// `name` itself when it is valid UTF-8, else its bytes read as Latin-1, in
// UTF-8.
std::string as_utf8(std::string_view name);

// `utf8` (valid, as as_utf8 gives it) one byte per character, as the small
// font draws it: its ISO-8859-2 glyph, or '?' where the font has none.
std::string in_font(std::string_view utf8);

#endif  // TRENDLE_COMMON_TEXT_H_
