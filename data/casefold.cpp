#include "data/casefold.h"

#include <locale.h>
#include <wctype.h>

namespace {

// The case tables of the C library's UTF-8 locale; independent of the process's own locale.
locale_t CaseLocale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (locale_t l = newlocale(LC_CTYPE_MASK, name, locale_t(nullptr))) return l;
    }
    return locale_t(nullptr);
  }();
  return locale;
}

// Decodes one UTF-8 sequence at `text[i]`; returns its length, or 0 when it is not valid.
size_t Decode(std::string_view text, size_t i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t length;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xe0) == 0xc0) {
    length = 2;
    cp = lead & 0x1f;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3;
    cp = lead & 0x0f;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3f);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return length;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else {
    out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  }
}

char32_t Fold(char32_t cp, locale_t locale) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
  if (locale == locale_t(nullptr)) return cp;
  const auto upper = towupper_l(static_cast<wint_t>(cp), locale);
  return static_cast<char32_t>(towlower_l(upper, locale));
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  const locale_t locale = CaseLocale();
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp;
    const size_t length = Decode(utf8, i, cp);
    if (length == 0) {
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    Encode(Fold(cp, locale), out);
    i += length;
  }
  return out;
}
