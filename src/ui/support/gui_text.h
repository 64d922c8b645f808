#pragma once

#include <QString>

#include <string>
#include <string_view>

// The window boundary: program text is bytes in the ANSI code page, Qt text is Unicode.
QString ToQString(std::string_view ansi);
std::string FromQString(const QString& text);
