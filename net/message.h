#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace net {

struct TIdEMailAddressItem {
  std::string Address;
  std::string Name;
};

// Recipients in order; Add appends an empty item for the caller to fill.
class TIdEMailAddressList {
 public:
  TIdEMailAddressItem& Add();
  size_t Count() const { return FItems.size(); }
  const TIdEMailAddressItem& operator[](size_t index) const { return *FItems[index]; }
  TIdEMailAddressItem& operator[](size_t index) { return *FItems[index]; }

 private:
  // Items keep their address while the list grows, so a reference from Add stays valid.
  std::vector<std::unique_ptr<TIdEMailAddressItem>> FItems;
};

// Header lines ("Name: value"), already folded: a long header is several consecutive lines,
// the later ones starting with a blank.
class TIdHeaderList {
 public:
  // Replaces the header of that name (letter case ignored) or appends it; an empty value
  // removes it.
  void SetValue(std::string_view name, std::string_view value);
  std::string Value(std::string_view name) const;
  // Appends the lines of another list as they stand.
  void AddLines(const TIdHeaderList& other);
  size_t Count() const { return FLines.size(); }
  const std::string& operator[](size_t index) const { return FLines[index]; }
  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  // The first and one-past-last line of the header of that name; first == last when absent.
  std::pair<size_t, size_t> Find(std::string_view name) const;
  std::vector<std::string> FLines;
};

enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// One single-part mail message: its header block is generated on demand and its text written
// line by line between DATA and the closing ".".
class TIdMessage {
 public:
  TIdEMailAddressItem From;
  TIdEMailAddressList Recipients;
  TIdEMailAddressList CCList;
  TIdEMailAddressList BccList;
  std::string Subject;
  std::string ContentType;
  std::vector<std::string> Body;
  TIdHeaderList ExtraHeaders;
  TIdMessagePriority Priority = mpNormal;
  bool UseNowForDate = true;

  // Raises EIdFailedToRetreiveTimeZoneInfo when the time zone cannot be read.
  std::unique_ptr<TIdHeaderList> GenerateHeader() const;

  using LineWriter = std::function<void(std::string_view line)>;
  // The header block, an empty line, then the body lines, each through the writer.
  void WriteText(const LineWriter& write_line) const;
};

// Text as it reads in an HTML body: "&", "<", ">" and the double quote as character
// references, every other byte as it stands.
std::string HtmlText(std::string_view text);

// Header text with the words that need it as encoded-words ("=?ISO-8859-1?Q?Caf=E9?="), in
// the character set of the user's locale.
std::string EncodeHeaderText(std::string_view text, std::string_view specials);
// A mailbox as a header shows it: "\"Jane Doe\" <jane@example.org>".
std::string FormatMailbox(const TIdEMailAddressItem& item);
// A header line broken into pieces of at most 78 characters where it can be.
std::vector<std::string> FoldHeaderLine(std::string_view line);
// The body entry as the lines that go on the wire: line breaks made CR LF, lines too long for
// a mail server broken at a blank, and every line starting with "." given one more.
std::vector<std::string> BodyWireLines(std::string_view entry);

// The header character set of the user's locale and its encoding letter.
struct THeaderCharset {
  std::string name;
  char encoding;
  bool to_iso2022jp;
};
THeaderCharset HeaderCharset();

}  // namespace net
