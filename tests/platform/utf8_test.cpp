#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace {

using platform::FoldCase;

TEST(FoldCase, FoldsEveryLetterNotOnlyAscii) {
  const struct {
    const char* a;
    const char* b;
  } same[] = {
      {"BOB", "bob"},
      {"\xc3\x89LODIE", "\xc3\xa9lodie"},                                        // ÉLODIE, élodie
      {"\xd0\x9f\xd0\x95\xd0\xa2\xd0\xa0", "\xd0\xbf\xd0\xb5\xd1\x82\xd1\x80"},  // ПЕТР, петр
      {"\xce\xa3\xce\x9f\xce\xa6\xce\x9f\xce\xa3",
       "\xcf\x83\xce\xbf\xcf\x86\xce\xbf\xcf\x82"},    // ΣΟΦΟΣ, σοφος
      {"\xc3\x96ZG\xc3\x9cR", "\xc3\xb6zg\xc3\xbcr"},  // ÖZGÜR, özgür
      {"O'Neil \"%_\\", "o'neil \"%_\\"},
  };
  for (const auto& c : same) EXPECT_EQ(FoldCase(c.a), FoldCase(c.b)) << c.a;

  const struct {
    const char* a;
    const char* b;
  } different[] = {
      {"bob", "bobby"},
      {"\xc3\xa9lodie", "elodie"},  // an accent is not a case
      {"a b", "ab"},
  };
  for (const auto& c : different) EXPECT_NE(FoldCase(c.a), FoldCase(c.b)) << c.a;
}

TEST(FoldCase, KeepsBytesThatAreNotUtf8) {
  EXPECT_EQ(FoldCase("A\xff"
                     "B\xc3"),
            "a\xff"
            "b\xc3");
  EXPECT_EQ(FoldCase(std::string("A\0B", 3)), std::string("a\0b", 3));
  EXPECT_EQ(FoldCase(""), "");
}

}  // namespace

namespace {

// Each input read to its end, one character at a time: valid code points, and -1 for each
// invalid sequence with the bytes it took.
std::string Readings(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const platform::TUtf8Char c = platform::ReadUtf8(text);
    if (!out.empty()) out += ' ';
    out += c.Valid ? "U+" + std::to_string(static_cast<unsigned>(c.CodePoint))
                   : "bad" + std::to_string(c.Length);
    text.remove_prefix(c.Length);
  }
  return out;
}

TEST(ReadUtf8, AnInvalidSequenceCostsOnlyItsOwnBytes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\xC3\xA9", "U+97 U+233"},
      {"\xF0\x9F\x98\x80", "U+128512"},
      {"\xF2\x75\xBF", "bad1 U+117 bad1"},          // a lead byte broken off by "u"
      {"\xE2\x41\x80", "bad1 U+65 bad1"},           // ... and by "A"
      {"\xE2\x82\x41", "bad2 U+65"},                // two bytes that fit, then the break
      {"\xF0\x9F\x98", "bad3"},                     // cut short at the end
      {"\xC0\xAF", "bad1 bad1"},                    // over-long "/"
      {"\xE0\x80\xAF", "bad1 bad1 bad1"},           // over-long, three bytes
      {"\xED\xA0\x80", "bad1 bad1 bad1"},           // a surrogate
      {"\xF4\x90\x80\x80", "bad1 bad1 bad1 bad1"},  // past U+10FFFF
      {"\xFF\xFE", "bad1 bad1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Readings(c.in), c.out) << c.in;
}

TEST(ReadUtf8, AppendWritesWhatReadReads) {
  for (const unsigned cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFDu, 0x10000u, 0x10FFFFu}) {
    std::string text;
    platform::AppendUtf8(text, cp);
    const platform::TUtf8Char c = platform::ReadUtf8(text);
    EXPECT_TRUE(c.Valid && c.CodePoint == cp && c.Length == text.size()) << cp;
  }
}

}  // namespace
