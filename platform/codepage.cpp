#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/utf8.h"

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

// Writes out what the conversion holds back (1258 keeps a letter until it sees whether a tone
// mark follows) and returns it to its initial state.
void Flush(iconv_t cd, std::string& out) {
  std::array<char, 64> buffer{};
  char* dst = buffer.data();
  size_t dst_left = buffer.size();
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer.data(), buffer.size() - dst_left);
}

bool IsSingleByte(int code_page) {
  return code_page != 932 && code_page != 936 && code_page != 949 && code_page != 950;
}

// The bytes that a single-byte code page leaves undefined, found by asking iconv once per page.
using TUndefinedBytes = std::array<bool, 256>;

TUndefinedBytes FindUndefinedBytes(const std::string& charset) {
  TUndefinedBytes undefined{};
  for (int b = 0x80; b <= 0xFF; ++b) {
    const Iconv cd("UTF-8", charset);
    if (!cd) return {};
    char in = static_cast<char>(b);
    std::array<char, 16> buffer{};
    char* src = &in;
    size_t src_left = 1;
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    undefined[b] = iconv(cd.Get(), &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1);
  }
  return undefined;
}

const TUndefinedBytes& UndefinedBytes(int code_page) {
  static std::mutex lock;
  static std::map<int, TUndefinedBytes> pages;
  const std::lock_guard guard(lock);
  auto found = pages.find(code_page);
  if (found == pages.end()) {
    found = pages.emplace(code_page, FindUndefinedBytes(CodePageCharset(code_page))).first;
  }
  return found->second;
}

// Windows gives a byte that its single-byte code page leaves undefined a Unicode character of
// its own, so that it survives the trip to Unicode and back: 0x80-0x9F become the C1 control
// characters of the same number; the few from 0xA0 up take a private-use character, U+F700 plus
// the byte.
constexpr char32_t kPrivateUndefined = 0xF700;

char32_t UndefinedByteCharacter(unsigned char b) {
  return b < 0xA0 ? char32_t{b} : kPrivateUndefined + b;
}

// The undefined byte that stands for `cp` in the code page, or -1.
int UndefinedByteOf(char32_t cp, const TUndefinedBytes& undefined) {
  int b = -1;
  if (cp >= 0x80 && cp < 0xA0) b = static_cast<int>(cp);
  if (cp >= kPrivateUndefined + 0xA0 && cp <= kPrivateUndefined + 0xFF) {
    b = static_cast<int>(cp - kPrivateUndefined);
  }
  return b >= 0 && undefined[static_cast<size_t>(b)] ? b : -1;
}

// One conversion through iconv. An input sequence the target lacks, or an invalid one, gives
// '?' and conversion goes on after it, having taken only that sequence's bytes. With
// `undefined`, the undefined bytes of a single-byte code page travel as the characters above.
std::string Convert(std::string_view in, const std::string& from, const std::string& to,
                    bool from_utf8, const TUndefinedBytes* undefined = nullptr) {
  std::string out;
  const Iconv cd(to, from);
  if (!cd) {
    // An unknown code page cannot convert anything: keep ASCII, replace each other character.
    while (!in.empty()) {
      const size_t length = from_utf8 ? ReadUtf8(in).Length : 1;
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
    // EILSEQ or EINVAL: what was held back stands before what takes the character's place.
    Flush(cd.Get(), out);
    size_t skip = 1;
    std::string replacement = "?";
    if (from_utf8) {
      const TUtf8Char c = ReadUtf8(std::string_view(src, src_left));
      skip = c.Length;
      const int b = c.Valid && undefined != nullptr ? UndefinedByteOf(c.CodePoint, *undefined) : -1;
      if (b >= 0) replacement = std::string(1, static_cast<char>(b));
    } else if (const auto b = static_cast<unsigned char>(*src); undefined && (*undefined)[b]) {
      replacement.clear();
      AppendUtf8(replacement, UndefinedByteCharacter(b));
    }
    out += replacement;
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
  return Convert(ansi, CodePageCharset(code_page), "UTF-8", false,
                 IsSingleByte(code_page) ? &UndefinedBytes(code_page) : nullptr);
}

std::string Utf8ToAnsi(std::string_view utf8, int code_page) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert(utf8, "UTF-8", CodePageCharset(code_page), true,
                 IsSingleByte(code_page) ? &UndefinedBytes(code_page) : nullptr);
}

std::string Utf8ToCharset(std::string_view utf8, const std::string& charset) {
  return Convert(utf8, "UTF-8", charset, true);
}

std::string AnsiToUtf8(std::string_view ansi) { return AnsiToUtf8(ansi, AnsiCodePage()); }
std::string Utf8ToAnsi(std::string_view utf8) { return Utf8ToAnsi(utf8, AnsiCodePage()); }

}  // namespace platform
