#include "dialogs/ansi.h"

#include "platform/codepage.h"

QString FromAnsi(const std::string& Text) {
  return QString::fromStdString(platform::AnsiToUtf8(Text));
}

std::string ToAnsi(const QString& Text) { return platform::Utf8ToAnsi(Text.toStdString()); }
