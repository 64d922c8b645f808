#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// ADC's text layer: a message is one line of parts separated by single blanks, and a blank, a line feed or a
// backslash inside a part is written "\s", "\n" or "\\".

std::string AdcEscape(std::string_view text);
// Nothing for any other escape, a trailing lone backslash or a raw line feed: such a message is malformed.
std::optional<std::string> AdcUnescape(std::string_view part);
// The same into text, reusing its storage; false (text unspecified) for a malformed part.
bool AdcUnescapeInto(std::string_view part, std::string& text);
// The parts of a message (without its line feed) into parts, still escaped, reusing its storage; an empty part (two
// blanks in a row, or a blank at either end) is kept, so callers can refuse it.
void SplitAdcMessage(std::string_view message, std::vector<std::string_view>& parts);
