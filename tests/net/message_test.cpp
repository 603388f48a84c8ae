#include "net/message.h"

#include <gtest/gtest.h>

#include "mailbox.h"
#include "net/errors.h"
#include "net_fixture.h"

namespace nettest {
namespace {

class MessageTest : public NetTest {
 protected:
  std::vector<std::string> Header(const net::TIdMessage& message) {
    return message.GenerateHeader()->Lines();
  }
  std::vector<std::string> Written(const net::TIdMessage& message) {
    std::vector<std::string> lines;
    message.WriteText([&](std::string_view line) { lines.emplace_back(line); });
    return lines;
  }
};

TEST_F(MessageTest, HeaderBlockInItsOrderWithNoOtherHeader) {
  net::TIdMessage message;
  message.From.Address = "desktop@quillby.example";
  AddMailbox(message.Recipients, "Jane Doe", "jane@example.org");
  AddMailbox(message.Recipients, "", "bob@example.org");
  AddMailbox(message.CCList, "Carol", "carol@example.org");
  AddMailbox(message.BccList, "Secret Manager", "manager@quillby.example");
  message.ContentType = "text/html";
  message.ExtraHeaders.SetValue("X-Mailer", "Quillby Desktop");
  EXPECT_EQ(Header(message), (std::vector<std::string>{
                                 "From: desktop@quillby.example",
                                 "To: \"Jane Doe\" <jane@example.org>, bob@example.org",
                                 "Cc: \"Carol\" <carol@example.org>",
                                 "Content-Type: text/html",
                                 "Date: Sun, 7 Mar 2004 09:05:00 +0100",
                                 "X-Priority: 3",
                                 "X-Library: Quillby Net 1.0",
                                 "X-Mailer: Quillby Desktop",
                             }));
}

TEST_F(MessageTest, DateValue) {
  const struct {
    int year, month, day, weekday, hour, minute, second, offset;
    const char* date;
  } cases[] = {
      {2005, 1, 4, 2, 23, 59, 58, 0, "Date: Tue, 4 Jan 2005 23:59:58 +0000"},
      {2004, 12, 25, 6, 0, 0, 0, -5 * 3600, "Date: Sat, 25 Dec 2004 00:00:00 -0500"},
      {2026, 8, 31, 1, 7, 3, 9, 5 * 3600 + 1800, "Date: Mon, 31 Aug 2026 07:03:09 +0530"},
      {2026, 3, 1, 0, 12, 0, 0, -(3 * 3600 + 1800), "Date: Sun, 1 Mar 2026 12:00:00 -0330"},
  };
  for (const auto& c : cases) {
    FMoment = {c.year, c.month, c.day, c.hour, c.minute, c.second, 0, c.weekday, true, c.offset};
    net::TIdMessage message;
    EXPECT_EQ(Header(message)[0], c.date);
  }
}

TEST_F(MessageTest, UnknownTimeZoneFailsTheHeader) {
  FMoment.zone_known = false;
  net::TIdMessage message;
  EXPECT_THROW(message.GenerateHeader(), net::EIdFailedToRetreiveTimeZoneInfo);
}

TEST_F(MessageTest, Mailboxes) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"", "a@b.c"},
      {"Jane Doe", "\"Jane Doe\" <a@b.c>"},
      {"Say \"hi\" \\ bye", "\"Say \\\"hi\\\" \\\\ bye\" <a@b.c>"},
      {"Doe, Jane", "\"Doe, Jane\" <a@b.c>"},
      {"Jos\xE9 Smith", "=?ISO-8859-1?Q?Jos=E9?= Smith <a@b.c>"},
      {"Jos\xE9 (Joe)", "=?ISO-8859-1?Q?Jos=E9_=28Joe=29?= <a@b.c>"},
      {"Ren\xE9 d.o@x", "=?ISO-8859-1?Q?Ren=E9_d=2Eo=40x?= <a@b.c>"},
  };
  for (const auto& c : cases) EXPECT_EQ(net::FormatMailbox({"a@b.c", c.name}), c.shown) << c.name;
}

TEST_F(MessageTest, EncodedWords) {
  const struct {
    const char* locale;
    std::string text;
    std::string encoded;
  } cases[] = {
      {"en_US", "Caf\xE9 time", "=?ISO-8859-1?Q?Caf=E9?= time"},
      {"en_US", "Tr\xE8s \xE9lev\xE9", "=?ISO-8859-1?Q?Tr=E8s_=E9lev=E9?="},
      {"en_US", "a=b? c_d plain", "a=b? c_d plain"},
      {"en_US", "x \xE9=?_\t\xE9 y", "x =?ISO-8859-1?Q?=E9=3D=3F=5F=09=E9?= y"},
      {"en_US", "  lead \xE9  trail  ", "  lead =?ISO-8859-1?Q?=E9?=  trail  "},
      {"de_DE",
       "Gr\xFC\xDF"
       "e",
       "=?ISO-8859-1?Q?Gr=FC=DFe?="},
      {"ko_KR", "\xC7\xD1", "=?EUC-KR?B?x9E=?="},
      {"zh_CN", "\xC4\xE3\xBA\xC3", "=?GB2312?B?xOO6ww==?="},
      {"zh_TW", "\xA7\x41", "=?Big5?B?p0E=?="},
      {"ja_JP", "\x93\xfa\x96\x7b", "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?="},
  };
  for (const auto& c : cases) {
    FLocale = c.locale;
    EXPECT_EQ(net::EncodeHeaderText(c.text, ""), c.encoded) << c.locale << " " << c.text;
  }
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST_F(MessageTest, LongEncodedSubjectIsSplitWithin75Columns) {
  net::TIdMessage message;
  message.Subject = std::string(30, '\xE9');  // 30 pieces of "=E9"
  // The first encoded-word with "Subject: " before it passes 78 columns, so the line breaks
  // after the name.
  const auto header = Header(message);
  ASSERT_EQ(header[0], "Subject:");
  EXPECT_EQ(header[1], " =?ISO-8859-1?Q?" + Repeat("=E9", 19) + "?=");
  EXPECT_EQ(header[2], "\t=?ISO-8859-1?Q?" + Repeat("=E9", 11) + "?=");
  FLocale = "ko_KR";
  message.Subject = std::string(60, '\xB0');
  const auto korean = Header(message);
  EXPECT_EQ(korean[1], " =?EUC-KR?B?" + Repeat("sLCw", 15) + "?=");
  EXPECT_EQ(korean[2], "\t=?EUC-KR?B?" + Repeat("sLCw", 5) + "?=");
}

TEST_F(MessageTest, LongPlainSubjectIsFolded) {
  net::TIdMessage message;
  message.Subject =
      "A subject that is long enough to need folding, because it runs well past the "
      "seventy-eight column mark of a header line, twice over in fact";
  const auto header = Header(message);
  EXPECT_EQ(header[0],
            "Subject: A subject that is long enough to need folding, because it runs well");
  EXPECT_EQ(header[1], " past the seventy-eight column mark of a header line, twice over in fact");
  for (const auto& line : header) EXPECT_LE(line.size(), 78u) << line;
}

TEST_F(MessageTest, FoldingKeepsQuotedStretchesWholeAndLongWordsLong) {
  // The blank inside the quotes is no break point; the one after the name is the last one left.
  const std::string quoted =
      "To: \"" + std::string(40, 'n') + " " + std::string(40, 'm') + "\" <x@y.z>, o@example.org";
  EXPECT_EQ(net::FoldHeaderLine(quoted), (std::vector<std::string>{"To:", quoted.substr(3)}));
  const std::string two = "To: \"" + std::string(30, 'n') + " " + std::string(30, 'm') +
                          "\" <x@y.z>, other@example.org";
  EXPECT_EQ(net::FoldHeaderLine(two),
            (std::vector<std::string>{two.substr(0, 76), " other@example.org"}));
  // A quoted name ending in an escaped backslash closes its quotes like any other.
  const std::string escaped =
      "To: \"a\\\\\" <a@b.c>, bob1@example.org, bob2@example.org, "
      "bob3@example.org, bob4@example.org";
  EXPECT_EQ(net::FoldHeaderLine(escaped),
            (std::vector<std::string>{escaped.substr(0, 72), " bob4@example.org"}));
  const std::string word = "X-Long: " + std::string(90, 'w');
  EXPECT_EQ(net::FoldHeaderLine(word), (std::vector<std::string>{"X-Long:", word.substr(7)}));
  const std::string unbreakable = "X-Long:" + std::string(90, 'w');
  EXPECT_EQ(net::FoldHeaderLine(unbreakable), (std::vector<std::string>{unbreakable}));
}

TEST(HtmlText, WritesTheFourMarkupCharactersAsReferencesAndNothingElse) {
  const struct {
    std::string text, html;
  } cases[] = {
      {"", ""},
      {"Plain Caf\xe9 text\r\n\tand 'quotes', $100-$900 %s",
       "Plain Caf\xe9 text\r\n\tand 'quotes', $100-$900 %s"},
      {"a < b & c > d", "a &lt; b &amp; c &gt; d"},
      {"<img src=\"t.png\">", "&lt;img src=&quot;t.png&quot;&gt;"},
      {"&amp;", "&amp;amp;"},  // a reference typed as text stays text
      {std::string("nul\0<", 5), std::string("nul\0&lt;", 8)},
  };
  for (const auto& c : cases) EXPECT_EQ(net::HtmlText(c.text), c.html) << c.text;
}

TEST_F(MessageTest, HeaderListSetReplaceRemove) {
  net::TIdHeaderList list;
  list.SetValue("X-One", "1");
  list.SetValue("X-Two", "2");
  list.SetValue("x-one", "uno");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"x-one: uno", "X-Two: 2"}));
  list.SetValue("X-Long", std::string(50, 'a') + " " + std::string(50, 'b'));
  EXPECT_EQ(list.Count(), 4u);
  list.SetValue("X-LONG", "short");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"x-one: uno", "X-Two: 2", "X-LONG: short"}));
  list.SetValue("X-Two", "");
  list.SetValue("X-Absent", "");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"x-one: uno", "X-LONG: short"}));
}

// A line break in a header value must never start a header line of its own.
TEST_F(MessageTest, LineBreaksInHeaderValuesBecomeSpaces) {
  net::TIdMessage message;
  message.From.Name = "Jane\r\nBcc: evil@example.org";
  message.From.Address = "jane@example.org\nX-Evil: 1";
  message.Subject = "Hello\r\nBcc: evil@example.org";
  message.ContentType = "text/html\r\n\r\n<script>";
  message.ExtraHeaders.SetValue("X-Mailer", "Agent\rX-Evil: 2");
  const auto header = Header(message);
  for (const auto& line : header) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    EXPECT_EQ(line.rfind("Bcc", 0), std::string::npos) << line;
    EXPECT_EQ(line.rfind("X-Evil", 0), std::string::npos) << line;
  }
  EXPECT_EQ(header[0], "From: \"Jane  Bcc: evil@example.org\" <jane@example.org X-Evil: 1>");
  EXPECT_EQ(header[1], "Subject: Hello  Bcc: evil@example.org");
  EXPECT_EQ(header[2], "Content-Type: text/html    <script>");
  EXPECT_EQ(header.back(), "X-Mailer: Agent X-Evil: 2");
}

TEST_F(MessageTest, WrittenTextWithDotStuffing) {
  net::TIdMessage message;
  message.From.Address = "a@b.c";
  message.Body = {"<p>first</p>", ".hidden", ".", "..", "two\r\n.lines", "caf\xE9", ""};
  auto lines = Written(message);
  const std::vector<std::string> body(lines.begin() + 5, lines.end());
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(body, (std::vector<std::string>{"<p>first</p>", "..hidden", "..", "...",
                                            "two\r\n..lines", "caf\xE9", ""}));
}

// A bare CR or LF in a body line must not let the server see the end of the message.
TEST_F(MessageTest, BareLineBreaksInTheBodyAreNormalisedBeforeStuffing) {
  const struct {
    std::string entry;
    std::vector<std::string> wire;
  } cases[] = {
      {"a\n.\nb", {"a", "..", "b"}},
      {"a\r.\rQUIT", {"a", "..", "QUIT"}},
      {"x\r\n.\r\ny", {"x", "..", "y"}},
      {"\n.", {"", ".."}},
      {"a\r\n", {"a", ""}},
      {"a\n\r.b", {"a", "", "..b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(net::BodyWireLines(c.entry), c.wire) << c.entry;
}

// Mail servers refuse lines over 998 bytes; long HTML paragraphs are broken at a blank.
TEST_F(MessageTest, LongBodyLinesAreBrokenAtTheLastBlank) {
  const std::string word(99, 'w');
  std::string paragraph;
  for (int i = 0; i < 25; ++i) paragraph += (i ? " " : "") + word;  // 2499 bytes
  const auto wire = net::BodyWireLines(paragraph);
  ASSERT_EQ(wire.size(), 3u);
  std::string joined;
  for (const auto& line : wire) {
    EXPECT_LE(line.size(), 998u);
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(joined, paragraph);
  EXPECT_EQ(wire[0].size(), 899u);
  EXPECT_EQ(wire[2].size(), 699u);

  const std::string exact(998, 'e');
  EXPECT_EQ(net::BodyWireLines(exact), (std::vector<std::string>{exact}));
  const std::string unbreakable(1500, 'u');
  EXPECT_EQ(net::BodyWireLines(unbreakable), (std::vector<std::string>{unbreakable}));
  // A line that starts with "." must still fit once it is stuffed.
  EXPECT_EQ(net::BodyWireLines("." + std::string(995, 'c') + " d"),
            (std::vector<std::string>{".." + std::string(995, 'c'), "d"}));
  EXPECT_EQ(net::BodyWireLines(std::string(997, 'a') + " ." + std::string(995, 'b') + " e"),
            (std::vector<std::string>{std::string(997, 'a'), ".." + std::string(995, 'b'), "e"}));
}

TEST_F(MessageTest, JapaneseLocaleConvertsBodyLines) {
  FLocale = "ja_JP";
  net::TIdMessage message;
  message.Body = {"\x93\xfa\x96\x7b"};
  EXPECT_EQ(Written(message).back(), "\x1b$BF|K\\\x1b(B");
}

}  // namespace
}  // namespace nettest
