#pragma once

#include <QString>
#include <string>

// The one border between the program's 8-bit ANSI text and Qt's Unicode.
QString FromAnsi(const std::string& Text);
std::string ToAnsi(const QString& Text);
