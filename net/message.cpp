#include "net/message.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "net/base64.h"
#include "net/errors.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace net {

namespace {

constexpr size_t kFoldWidth = 78;
constexpr size_t kEncodedWordWidth = 75;
// The longest line a mail server takes, without its CR LF.
constexpr size_t kMaxWireLine = 998;

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A line break in a value must never start a header line of its own.
std::string OneLine(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

std::string ToIso2022Jp(std::string_view ansi) {
  const std::string utf8 = platform::AnsiToUtf8(ansi, 932);
  return platform::Utf8ToCharset(utf8, "ISO-2022-JP");
}

std::string DateValue(const platform::LocalDateTime& now) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (!now.zone_known) throw EIdFailedToRetreiveTimeZoneInfo();
  const int offset_minutes = now.utc_offset_seconds / 60;
  const int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %04d %02d:%02d:%02d %c%02d%02d",
                kDays[now.weekday % 7], now.day, kMonths[(now.month + 11) % 12], now.year, now.hour,
                now.minute, now.second, offset_minutes < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

std::string JoinMailboxes(const TIdEMailAddressList& list) {
  std::string value;
  for (size_t i = 0; i < list.Count(); ++i) {
    if (i > 0) value += ", ";
    value += FormatMailbox(list[i]);
  }
  return value;
}

}  // namespace

TIdEMailAddressItem& TIdEMailAddressList::Add() {
  FItems.push_back(std::make_unique<TIdEMailAddressItem>());
  return *FItems.back();
}

std::pair<size_t, size_t> TIdHeaderList::Find(std::string_view name) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    const std::string& line = FLines[i];
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !SameName(std::string_view(line).substr(0, colon), name)) {
      continue;
    }
    size_t end = i + 1;
    while (end < FLines.size() && !FLines[end].empty() &&
           (FLines[end][0] == ' ' || FLines[end][0] == '\t')) {
      ++end;
    }
    return {i, end};
  }
  return {FLines.size(), FLines.size()};
}

void TIdHeaderList::SetValue(std::string_view name, std::string_view value) {
  const auto [first, last] = Find(name);
  std::vector<std::string> pieces;
  if (!value.empty()) {
    // Only a break followed by a blank (a fold) may stay; any other CR or LF becomes a space,
    // so a value can never start a header line of its own.
    std::string line = std::string(name) + ": ";
    for (size_t i = 0; i < value.size(); ++i) {
      const char c = value[i];
      if (c == '\r' && i + 2 < value.size() && value[i + 1] == '\n' &&
          (value[i + 2] == ' ' || value[i + 2] == '\t')) {
        line += "\r\n";
        ++i;
      } else {
        line.push_back(c == '\r' || c == '\n' ? ' ' : c);
      }
    }
    pieces = FoldHeaderLine(line);
  }
  FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(first),
               FLines.begin() + static_cast<std::ptrdiff_t>(last));
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(first), pieces.begin(), pieces.end());
}

std::string TIdHeaderList::Value(std::string_view name) const {
  const auto [first, last] = Find(name);
  if (first == last) return {};
  std::string value = FLines[first].substr(FLines[first].find(':') + 1);
  for (size_t i = first + 1; i < last; ++i) value += " " + FLines[i].substr(1);
  const size_t start = value.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : value.substr(start);
}

void TIdHeaderList::AddLines(const TIdHeaderList& other) {
  FLines.insert(FLines.end(), other.FLines.begin(), other.FLines.end());
}

THeaderCharset HeaderCharset() {
  const std::string language = platform::LocaleLanguage();
  if (language == "zh") {
    const std::string name = platform::LocaleName();
    const std::string territory = name.size() >= 5 ? name.substr(3, 2) : "CN";
    return {territory == "CN" ? "GB2312" : "Big5", 'B', false};
  }
  if (language == "ja") return {"ISO-2022-JP", 'B', true};
  if (language == "ko") return {"EUC-KR", 'B', false};
  return {"ISO-8859-1", 'Q', false};
}

std::string EncodeHeaderText(std::string_view input, std::string_view specials) {
  const THeaderCharset charset = HeaderCharset();
  const std::string text = charset.to_iso2022jp ? ToIso2022Jp(input) : std::string(input);
  auto needs_encoding = [&](unsigned char c) {
    return c < 32 || c >= 127 || specials.find(static_cast<char>(c)) != std::string_view::npos;
  };
  auto must_quote = [&](unsigned char c) {
    return needs_encoding(c) || c == '=' || c == '?' || c == '_';
  };
  const std::string begin = "=?" + charset.name + "?" + charset.encoding + "?";
  const std::string end = "?=";

  auto encode_stretch = [&](std::string_view stretch) {
    std::string out = begin;
    size_t width = begin.size() + 2;
    auto add_piece = [&](const std::string& piece) {
      if (width + piece.size() > kEncodedWordWidth) {
        out += end + "\r\n\t" + begin;
        width = begin.size() + 2;
      }
      out += piece;
      width += piece.size();
    };
    if (charset.encoding == 'Q') {
      for (unsigned char c : stretch) {
        if (c == ' ') {
          add_piece("_");
        } else if (must_quote(c)) {
          char hex[4];
          std::snprintf(hex, sizeof hex, "=%02X", c);
          add_piece(hex);
        } else {
          add_piece(std::string(1, static_cast<char>(c)));
        }
      }
    } else {
      for (size_t i = 0; i < stretch.size(); i += 3) add_piece(EncodeBase64(stretch.substr(i, 3)));
    }
    return out + end;
  };

  // Words: runs of non-blanks, with the position of each.
  struct Word {
    size_t start, end;
    bool encode;
  };
  std::vector<Word> words;
  for (size_t i = 0; i < text.size();) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    Word word{i, i, false};
    while (word.end < text.size() && !IsBlank(text[word.end])) {
      if (needs_encoding(static_cast<unsigned char>(text[word.end]))) word.encode = true;
      ++word.end;
    }
    i = word.end;
    words.push_back(word);
  }
  std::string out;
  size_t copied = 0;
  for (size_t w = 0; w < words.size();) {
    if (!words[w].encode) {
      ++w;
      continue;
    }
    size_t last = w;
    while (last + 1 < words.size() && words[last + 1].encode) ++last;
    out.append(text, copied, words[w].start - copied);
    out += encode_stretch(
        std::string_view(text).substr(words[w].start, words[last].end - words[w].start));
    copied = words[last].end;
    w = last + 1;
  }
  out.append(text, copied, std::string::npos);
  return out;
}

std::string FormatMailbox(const TIdEMailAddressItem& item) {
  const std::string address = OneLine(item.Address);
  if (item.Name.empty()) return address;
  const std::string name = OneLine(item.Name);
  const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 32 && u <= 126;
  });
  std::string display;
  if (!plain) {
    display = EncodeHeaderText(name, "()<>,;:\\\".[]@");
  } else {
    display = "\"";
    for (char c : name) {
      if (c == '\\' || c == '"') display.push_back('\\');
      display.push_back(c);
    }
    display += "\"";
  }
  return display + " <" + address + ">";
}

std::vector<std::string> FoldHeaderLine(std::string_view line) {
  std::vector<std::string> result;
  auto trim_end = [](std::string piece) {
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.pop_back();
    return piece;
  };
  // Breaks already in the value separate pieces; the piece after one keeps its leading blank.
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t crlf = line.find("\r\n", start);
    pieces.emplace_back(line.substr(start, crlf == std::string_view::npos ? crlf : crlf - start));
    if (crlf == std::string_view::npos) break;
    start = crlf + 2;
  }
  for (std::string piece : pieces) {
    while (piece.size() > kFoldWidth) {
      size_t cut = std::string::npos;
      bool quoted = false;
      for (size_t i = 0; i < kFoldWidth; ++i) {
        const char c = piece[i];
        if (quoted && c == '\\') {
          ++i;  // an escaped character, possibly a quote or a backslash, ends nothing
          continue;
        }
        if (c == '"') quoted = !quoted;
        // A continuation's leading blank is no place to break.
        if (!quoted && i > 0 && (c == ' ' || c == '\t' || c == ',')) cut = i;
      }
      std::string head = trim_end(piece.substr(0, cut + 1));
      if (cut == std::string::npos || head.empty() || head.find_first_not_of(" \t") == head.npos) {
        break;
      }
      std::string rest = piece.substr(cut + 1);
      const size_t text = rest.find_first_not_of(" \t");
      if (text == std::string::npos) {
        piece = head;
        break;
      }
      result.push_back(head);
      piece = " " + rest.substr(text);
    }
    result.push_back(trim_end(piece));
  }
  return result;
}

std::vector<std::string> BodyWireLines(std::string_view entry) {
  // Every bare CR and bare LF is a line break too: the server must never see the end of the
  // message, or a new command, hidden in one.
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < entry.size(); ++i) {
    const char c = entry[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < entry.size() && entry[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  std::vector<std::string> wire;
  for (std::string& line : lines) {
    // Too long a line is refused by mail servers: break it at the last blank within reach
    // (the body is HTML, where a break reads as a blank); one without a blank stays whole.
    std::string_view rest = line;
    for (;;) {
      const size_t limit = kMaxWireLine - (!rest.empty() && rest[0] == '.' ? 1 : 0);
      if (rest.size() <= limit) break;
      size_t blank = std::string_view::npos;
      for (size_t i = std::min(limit, rest.size() - 1); i > 0; --i) {
        if (rest[i] == ' ' || rest[i] == '\t') {
          blank = i;
          break;
        }
      }
      if (blank == std::string_view::npos) break;
      wire.emplace_back(rest.substr(0, blank));
      rest.remove_prefix(blank + 1);
    }
    wire.emplace_back(rest);
  }
  for (std::string& line : wire) {
    if (!line.empty() && line[0] == '.') line.insert(0, 1, '.');
  }
  return wire;
}

std::unique_ptr<TIdHeaderList> TIdMessage::GenerateHeader() const {
  auto headers = std::make_unique<TIdHeaderList>();
  headers->SetValue("From", FormatMailbox(From));
  headers->SetValue("Subject", EncodeHeaderText(OneLine(Subject), ""));
  headers->SetValue("To", JoinMailboxes(Recipients));
  headers->SetValue("Cc", JoinMailboxes(CCList));
  headers->SetValue("Content-Type", OneLine(ContentType));
  if (UseNowForDate) headers->SetValue("Date", DateValue(platform::Now()));
  headers->SetValue("X-Priority", std::to_string(static_cast<int>(Priority) + 1));
  headers->SetValue("X-Library", "Quillby Net 1.0");
  headers->AddLines(ExtraHeaders);
  return headers;
}

void TIdMessage::WriteText(const LineWriter& write_line) const {
  const auto headers = GenerateHeader();
  for (const std::string& line : headers->Lines()) write_line(line);
  write_line("");
  const bool to_iso2022jp = HeaderCharset().to_iso2022jp;
  for (const std::string& entry : Body) {
    const std::vector<std::string> lines = BodyWireLines(to_iso2022jp ? ToIso2022Jp(entry) : entry);
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) text += "\r\n";
      text += lines[i];
    }
    write_line(text);
  }
}

std::string HtmlText(std::string_view text) {
  std::string html;
  html.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      default:
        html += c;
    }
  }
  return html;
}

}  // namespace net
