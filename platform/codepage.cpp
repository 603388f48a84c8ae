#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cctype>
#include <utility>

namespace platform {
namespace {

LocaleProvider& Provider() {
  static LocaleProvider provider;
  return provider;
}

std::string EnvironmentLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// Strips ".codeset" and "@modifier" from a POSIX locale name.
std::string LanguageAndTerritory(std::string name) {
  const auto cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.resize(cut);
  if (name.empty() || name == "C" || name == "POSIX") return "en_US";
  return name;
}

struct LanguagePage {
  const char* language;
  int code_page;
};

constexpr std::array kLanguagePages{
    LanguagePage{"cs", 1250}, LanguagePage{"pl", 1250}, LanguagePage{"hu", 1250},
    LanguagePage{"sk", 1250}, LanguagePage{"sl", 1250}, LanguagePage{"hr", 1250},
    LanguagePage{"ro", 1250}, LanguagePage{"sq", 1250}, LanguagePage{"bs", 1250},
    LanguagePage{"ru", 1251}, LanguagePage{"uk", 1251}, LanguagePage{"be", 1251},
    LanguagePage{"bg", 1251}, LanguagePage{"mk", 1251}, LanguagePage{"sr", 1251},
    LanguagePage{"kk", 1251}, LanguagePage{"ky", 1251}, LanguagePage{"mn", 1251},
    LanguagePage{"tt", 1251}, LanguagePage{"el", 1253}, LanguagePage{"tr", 1254},
    LanguagePage{"az", 1254}, LanguagePage{"uz", 1254}, LanguagePage{"he", 1255},
    LanguagePage{"iw", 1255}, LanguagePage{"yi", 1255}, LanguagePage{"ar", 1256},
    LanguagePage{"fa", 1256}, LanguagePage{"ur", 1256}, LanguagePage{"et", 1257},
    LanguagePage{"lv", 1257}, LanguagePage{"lt", 1257}, LanguagePage{"vi", 1258},
    LanguagePage{"th", 874},  LanguagePage{"ja", 932},  LanguagePage{"ko", 949},
};

// One conversion through iconv; an input sequence the target lacks, or an invalid one, gives '?'
// and conversion goes on after it.
std::string Convert(std::string_view in, const std::string& from, const std::string& to,
                    bool from_utf8) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // An unknown code page cannot convert anything: keep ASCII, replace the rest.
    std::string out;
    for (unsigned char c : in) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  std::string out;
  std::array<char, 1024> buffer{};
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    const size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), buffer.size() - dst_left);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one input character and write '?' in its place.
    size_t skip = 1;
    if (from_utf8) {
      const auto lead = static_cast<unsigned char>(*src);
      if (lead >= 0xF0) skip = 4;
      else if (lead >= 0xE0) skip = 3;
      else if (lead >= 0xC0) skip = 2;
      while (skip > 1 && (skip > src_left ||
                          (static_cast<unsigned char>(src[skip - 1]) & 0xC0) != 0x80)) {
        --skip;
      }
    }
    src += skip;
    src_left -= skip;
    out.push_back('?');
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush any shift state (stateful encodings).
  char* dst = buffer.data();
  size_t dst_left = buffer.size();
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer.data(), buffer.size() - dst_left);
  iconv_close(cd);
  return out;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

void SetLocaleProvider(LocaleProvider provider) { Provider() = std::move(provider); }

std::string LocaleName() {
  return LanguageAndTerritory(Provider() ? Provider()() : EnvironmentLocale());
}

std::string LocaleLanguage() {
  std::string name = LocaleName();
  const auto cut = name.find_first_of("_-");
  if (cut != std::string::npos) name.resize(cut);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

int AnsiCodePage() {
  const std::string language = LocaleLanguage();
  if (language == "zh") {
    const std::string name = LocaleName();
    const std::string territory = name.size() > 3 ? name.substr(3, 2) : "";
    return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
  }
  for (const auto& entry : kLanguagePages) {
    if (language == entry.language) return entry.code_page;
  }
  return 1252;
}

std::string CodePageCharset(int code_page) {
  switch (code_page) {
    case 936:
      return "GBK";
    case 949:
      return "CP949";
    case 950:
      return "BIG5";
    default:
      return "CP" + std::to_string(code_page);
  }
}

std::string AnsiToUtf8(std::string_view ansi, int code_page) {
  if (IsAscii(ansi)) return std::string(ansi);
  return Convert(ansi, CodePageCharset(code_page), "UTF-8", false);
}

std::string Utf8ToAnsi(std::string_view utf8, int code_page) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert(utf8, "UTF-8", CodePageCharset(code_page), true);
}

std::string AnsiToUtf8(std::string_view ansi) { return AnsiToUtf8(ansi, AnsiCodePage()); }
std::string Utf8ToAnsi(std::string_view utf8) { return Utf8ToAnsi(utf8, AnsiCodePage()); }

}  // namespace platform
