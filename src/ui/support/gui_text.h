#pragma once

#include <QString>

#include <string>
#include <string_view>

// The window boundary: program text is UTF-8, Qt text is Unicode.
QString ToQString(std::string_view utf8);
std::string FromQString(const QString& text);
