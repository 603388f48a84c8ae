#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The user's locale as language and territory, e.g. "en_US", "zh_TW", "ja". Read from the
// environment (LC_ALL, LC_CTYPE, LANG, in POSIX order); "C" and "POSIX" read as "en_US".
// Tests replace it with SetLocaleProvider; passing nullptr restores the environment.
std::string LocaleName();
using LocaleProvider = std::function<std::string()>;
void SetLocaleProvider(LocaleProvider provider);

// The ISO 639 language of LocaleName(), lower case ("en", "ja", ...).
std::string LocaleLanguage();

// The Windows ANSI code page used for the locale's language (1252 when unknown).
int AnsiCodePage();

// The iconv name of a Windows code page ("CP1252", ...).
std::string CodePageCharset(int code_page);

// Conversions between the program's 8-bit text and UTF-8. A character that the code page lacks
// becomes '?', as on Windows; an invalid input sequence becomes '?' too, and costs only its own
// bytes. A byte that a single-byte code page leaves undefined comes back as it was written.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi, int code_page);
std::string Utf8ToAnsi(std::string_view utf8, int code_page);

// UTF-8 to any iconv character set by the same rules ("ISO-2022-JP", ...).
std::string Utf8ToCharset(std::string_view utf8, const std::string& charset);

}  // namespace platform
