#include "common/text.h"

#include <algorithm>
#include <iterator>

namespace {

// The characters of ISO-8859-2's bytes 0xA0 to 0xFF. Written out rather
// than asked of iconv: its tables are a module loaded at run time, and it
// has no way to put '?' for a character alone.
constexpr char16_t kUpperHalf[96] = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164,
    0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170,
    0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

// The character at s[i] and its length in bytes; length 0 where the bytes
// there are no UTF-8 (cut short, overlong, a surrogate, past U+10FFFF).
char32_t decode(std::string_view s, size_t i, size_t& length) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  length = lead < 0x80   ? 1
           : lead < 0xC2 ? 0
           : lead < 0xE0 ? 2
           : lead < 0xF0 ? 3
           : lead < 0xF5 ? 4
                         : 0;
  if (length == 0 || i + length > s.size()) return length = 0;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return length = 0;
    c = c << 6 | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) length = 0;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string as_utf8(std::string_view name) {
  size_t length = 0;
  for (size_t i = 0; i < name.size(); i += length) {
    decode(name, i, length);
    if (length == 0) {
      std::string latin1;
      for (char c : name) append_utf8(latin1, static_cast<unsigned char>(c));
      return latin1;
    }
  }
  return std::string(name);
}

std::string in_font(std::string_view utf8) {
  std::string glyphs;
  size_t length = 0;
  for (size_t i = 0; i < utf8.size(); i += std::max<size_t>(length, 1)) {
    char32_t c = decode(utf8, i, length);
    const char16_t* at = std::find(std::begin(kUpperHalf), std::end(kUpperHalf), c);
    if (c < 0x80 && length == 1) {
      glyphs += static_cast<char>(c);
    } else {
      glyphs += at == std::end(kUpperHalf) ? '?' : static_cast<char>(0xA0 + (at - kUpperHalf));
    }
  }
  return glyphs;
}
