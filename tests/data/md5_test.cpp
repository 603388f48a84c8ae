#include "data/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::string Alphabet(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + i % 26));
  return s;
}

TEST(MD5Hex, GivesTheStandardDigestInUppercase) {
  const struct {
    std::string input;
    const char* digest;
  } cases[] = {
      // The RFC 1321 test suite.
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
      // 20 bytes, the longest password of a single work buffer, and one byte more.
      {"p@ssw0rd-Twenty-20!!", "645C0BCC25C1D4634CC470BCBDD74D3C"},
      {"p@ssw0rd-Twenty-21!!!", "51409B899B97737C9844F94B1C44BE56"},
      // Around the block boundaries: the length no longer fits the first block at 56 bytes.
      {Repeat('q', 55), "C932E1B1A97DE537D13E0DDDD96DA42B"},
      {Repeat('q', 56), "266EA7B18061F04EBE140D63CE648567"},
      {Repeat('q', 63), "7B7CB022759A9F373EF24BF92C05204F"},
      {Repeat('x', 64), "C1BB4F81D892B2D57947682AEB252456"},
      {Repeat('q', 65), "4F8D62F3CF50E436DFE277C67B321FBC"},
      {Alphabet(1000), "303FB697B589019CB3EDBA04B794E575"},
      // A non-ASCII byte of the ANSI code page (e-acute in 1252) is digested as it is.
      {"\xe9lodie", "06FC03BEE9669FAEA77684E0E76BFE57"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MD5Hex(c.input), c.digest) << c.input.size() << " bytes: " << c.input;
  }
}

TEST(MD5Hex, LetterCaseOfThePasswordCountsAndTheDigestIsNeverLowercase) {
  EXPECT_EQ(MD5Hex("Password"), "DC647EB65E6711E155375218212B3964");
  EXPECT_EQ(MD5Hex("password"), "5F4DCC3B5AA765D61D8327DEB882CF99");
  for (const std::string& password : {std::string("Password"), Alphabet(300)}) {
    const std::string digest = MD5Hex(password);
    EXPECT_EQ(digest.size(), 32u);
    EXPECT_EQ(digest.find_first_not_of("0123456789ABCDEF"), std::string::npos) << digest;
  }
}

TEST(MD5Hex, EmbeddedZeroBytesTakePart) {
  EXPECT_NE(MD5Hex(std::string("ab\0c", 4)), MD5Hex("ab"));
  EXPECT_NE(MD5Hex(std::string("ab\0c", 4)), MD5Hex(std::string("ab\0d", 4)));
}

}  // namespace
