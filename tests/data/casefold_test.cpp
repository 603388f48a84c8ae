#include "data/casefold.h"

#include <gtest/gtest.h>

namespace {

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
