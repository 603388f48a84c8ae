#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

class CodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetLocaleProvider(nullptr); }
  void UseLocale(std::string name) {
    platform::SetLocaleProvider([name] { return name; });
  }
};

TEST_F(CodePageTest, LanguageGivesTheWindowsCodePage) {
  const struct {
    const char* locale;
    int code_page;
  } cases[] = {
      {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252},     {"C", 1252},     {"POSIX", 1252},
      {"pl_PL.UTF-8", 1250}, {"ru_RU", 1251},          {"el_GR", 1253}, {"tr_TR", 1254},
      {"he_IL", 1255},       {"ar_EG", 1256},          {"lt_LT", 1257}, {"vi_VN", 1258},
      {"th_TH", 874},        {"ja_JP.UTF-8", 932},     {"zh_CN", 936},  {"zh_TW", 950},
      {"ko_KR", 949},        {"xx_YY", 1252},          {"sr_RS", 1251}, {"sr_RS.UTF-8@latin", 1250},
      {"uz_UZ", 1254},       {"uz_UZ@cyrillic", 1251},
  };
  for (const auto& c : cases) {
    UseLocale(c.locale);
    EXPECT_EQ(platform::AnsiCodePage(), c.code_page) << c.locale;
  }
}

TEST_F(CodePageTest, RoundTripsEveryCodePageThroughUtf8) {
  const struct {
    int code_page;
    std::string utf8;
  } cases[] = {
      {1252, "Fran\xC3\xA7ois \xE2\x82\xAC"},  // François €
      {1250, "\xC5\x81\xC3\xB3\x64\xC5\xBA"},  // Łódź
      {1251, "\xD0\x9F\xD1\x80\xD0\xB8"},      // При
      {932, "\xE6\x97\xA5\xE6\x9C\xAC"},       // 日本
      {936, "\xE4\xB8\xAD\xE6\x96\x87"},       // 中文
      {949, "\xED\x95\x9C\xEA\xB5\xAD"},       // 한국
      {950, "\xE4\xB8\xAD\xE6\x96\x87"},       // 中文
  };
  for (const auto& c : cases) {
    const std::string ansi = platform::Utf8ToAnsi(c.utf8, c.code_page);
    EXPECT_NE(ansi, c.utf8) << c.code_page;
    EXPECT_EQ(ansi.find('?'), std::string::npos) << c.code_page;
    EXPECT_EQ(platform::AnsiToUtf8(ansi, c.code_page), c.utf8) << c.code_page;
  }
}

TEST_F(CodePageTest, MissingCharactersBecomeQuestionMarks) {
  // One '?' per character that cannot be converted, keeping what stands before and after it.
  const struct {
    bool to_ansi;
    int code_page;
    std::string in, out;
  } cases[] = {
      {true, 1252, "a\xE6\x97\xA5z", "a?z"},  // a日z
      {true, 1252, "a\xFFz", "a?z"},          // not UTF-8
      // An invalid sequence costs only its own bytes, never the character after it.
      {true, 1250, "\xF2\x75\xBF", "?u?"},
      {true, 1252, "\xE2\x41\x80", "?A?"},
      {true, 1252, "\xE2\x82\x41", "?A"},
      {true, 932, "\xF0\x9F\x41", "?A"},
      {true, 1252, "plain", "plain"},
      {true, 9999, "a\xC3\xA9z", "a?z"},  // a code page the system lacks
      // 1258 holds a letter back to join it with a following tone mark; a byte the code page
      // leaves undefined must not swallow it.
      {false, 1258, "a\x81z", "a\xC2\x81z"},
      {false, 1258, "az\x81", "az\xC2\x81"},
      {false, 1258, "a\xEC\x81", "\xC3\xA1\xC2\x81"},  // a + combining acute, then undefined
      {false, 932, "a\x82", "a?"},                     // a lead byte without its second byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.to_ansi ? platform::Utf8ToAnsi(c.in, c.code_page)
                        : platform::AnsiToUtf8(c.in, c.code_page),
              c.out)
        << c.code_page << " " << c.in;
  }
}

TEST_F(CodePageTest, EveryByteOfASingleBytePageComesBackAsWritten) {
  // Bytes the page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D of 1252, ...) travel as
  // characters of their own instead of "?".
  std::string every;
  for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
  for (const int code_page : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257}) {
    const std::string utf8 = platform::AnsiToUtf8(every, code_page);
    EXPECT_EQ(utf8.find('?'), every.find('?')) << code_page;
    EXPECT_EQ(platform::Utf8ToAnsi(utf8, code_page), every) << code_page;
  }
  EXPECT_EQ(platform::AnsiToUtf8("\x81\x8D\x8F\x90\x9D", 1252),
            "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  // A character standing for an undefined byte is only taken back where that byte is undefined.
  EXPECT_EQ(platform::Utf8ToAnsi("\xC2\x81\xC2\x80", 1252), "\x81?");
}

TEST_F(CodePageTest, DefaultConversionFollowsTheLocale) {
  UseLocale("ru_RU.UTF-8");
  EXPECT_EQ(platform::Utf8ToAnsi("\xD0\x9F"), "\xCF");
  UseLocale("en_GB");
  EXPECT_EQ(platform::Utf8ToAnsi("\xD0\x9F"), "?");
  EXPECT_EQ(platform::LocaleLanguage(), "en");
}

}  // namespace
