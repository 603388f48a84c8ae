#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
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

// The locale as given, with its codeset and modifier.
std::string FullLocaleName() { return Provider() ? Provider()() : EnvironmentLocale(); }

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

// An open iconv conversion; closed by the destructor.
class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from)
      : FHandle(iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (*this) iconv_close(FHandle);
  }
  Iconv(Iconv&& other) noexcept : FHandle(std::exchange(other.FHandle, Invalid())) {}
  Iconv& operator=(Iconv&& other) noexcept {
    if (this != &other) {
      if (*this) iconv_close(FHandle);
      FHandle = std::exchange(other.FHandle, Invalid());
    }
    return *this;
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  explicit operator bool() const { return FHandle != Invalid(); }
  iconv_t Get() const { return FHandle; }

 private:
  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
  iconv_t FHandle;
};

// The bytes of the one UTF-8 character at the start of `text` (1 for a byte that starts none).
size_t Utf8CharLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text.front());
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  while (length > 1 &&
         (length > text.size() || (static_cast<unsigned char>(text[length - 1]) & 0xC0) != 0x80)) {
    --length;
  }
  return length;
}

// Writes out what the conversion holds back (1258 keeps a letter until it sees whether a tone
// mark follows) and returns it to its initial state.
void Flush(iconv_t cd, std::string& out) {
  std::array<char, 64> buffer{};
  char* dst = buffer.data();
  size_t dst_left = buffer.size();
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer.data(), buffer.size() - dst_left);
}

// One conversion through iconv; an input sequence the target lacks, or an invalid one, gives '?'
// and conversion goes on after it.
std::string Convert(std::string_view in, const std::string& from, const std::string& to,
                    bool from_utf8) {
  std::string out;
  const Iconv cd(to, from);
  if (!cd) {
    // An unknown code page cannot convert anything: keep ASCII, replace each other character.
    while (!in.empty()) {
      const size_t length = from_utf8 ? Utf8CharLength(in) : 1;
      out.push_back(static_cast<unsigned char>(in.front()) < 0x80 ? in.front() : '?');
      in.remove_prefix(length);
    }
    return out;
  }
  std::array<char, 1024> buffer{};
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    const size_t rc = iconv(cd.Get(), &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), buffer.size() - dst_left);
    if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: what was held back stands before the '?' that takes the character's place.
    Flush(cd.Get(), out);
    out.push_back('?');
    const size_t skip = from_utf8 ? Utf8CharLength(std::string_view(src, src_left)) : 1;
    src += skip;
    src_left -= skip;
  }
  Flush(cd.Get(), out);
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

std::string LocaleName() { return LanguageAndTerritory(FullLocaleName()); }

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
  // Serbian and Uzbek are written in two scripts, and Windows gives each script its own page;
  // the modifier names the script that is not the language's usual one here.
  const std::string name = FullLocaleName();
  const auto at = name.find('@');
  const std::string modifier = at == std::string::npos ? "" : name.substr(at + 1);
  if (language == "sr" && modifier == "latin") return 1250;
  if (language == "uz" && modifier == "cyrillic") return 1251;
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
