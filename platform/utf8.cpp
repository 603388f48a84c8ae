#include "platform/utf8.h"

#include <locale.h>
#include <wctype.h>

namespace platform {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The case tables of the C library's UTF-8 locale; independent of the process's own locale.
// Made once and kept for the life of the process.
locale_t CaseLocale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (locale_t l = newlocale(LC_CTYPE_MASK, name, locale_t(nullptr))) return l;
    }
    return locale_t(nullptr);
  }();
  return locale;
}

char32_t Fold(char32_t cp, locale_t locale) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
  if (locale == locale_t(nullptr)) return cp;
  const auto upper = towupper_l(static_cast<wint_t>(cp), locale);
  return static_cast<char32_t>(towlower_l(upper, locale));
}

}  // namespace

TUtf8Char ReadUtf8(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {lead, 1, true};
  // The second byte's range depends on the lead byte (Unicode's table of well-formed
  // sequences); this is what rules out over-long forms, surrogates and values past U+10FFFF.
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, 1, false};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (k >= text.size()) return {0, k, false};
    const auto next = static_cast<unsigned char>(text[k]);
    const bool fits = k == 1 ? next >= low && next <= high : IsContinuation(next);
    if (!fits) return {0, k, false};
    cp = (cp << 6) | (next & 0x3F);
  }
  return {cp, length, true};
}

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const TUtf8Char c = ReadUtf8(text);
    if (!c.Valid) return false;
    text.remove_prefix(c.Length);
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string FoldCase(std::string_view utf8) {
  const locale_t locale = CaseLocale();
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const TUtf8Char c = ReadUtf8(utf8);
    if (c.Valid) {
      AppendUtf8(out, Fold(c.CodePoint, locale));
    } else {
      out.append(utf8.substr(0, c.Length));
    }
    utf8.remove_prefix(c.Length);
  }
  return out;
}

}  // namespace platform
