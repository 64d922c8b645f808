#include "engine/adc/adc_text.h"

std::string AdcEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == ' ')
            escaped += "\\s";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    return escaped;
}

std::optional<std::string> AdcUnescape(std::string_view part) {
    std::string text;
    if (!AdcUnescapeInto(part, text)) return std::nullopt;
    return text;
}

bool AdcUnescapeInto(std::string_view part, std::string& text) {
    text.clear();
    if (part.find('\n') != std::string_view::npos) return false;
    while (true) {
        const std::size_t backslash = part.find('\\');
        text.append(part.substr(0, backslash));
        if (backslash == std::string_view::npos) return true;
        if (backslash + 1 == part.size()) return false;
        switch (part[backslash + 1]) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case '\\':
                text += '\\';
                break;
            default:
                return false;
        }
        part.remove_prefix(backslash + 2);
    }
}

void SplitAdcMessage(std::string_view message, std::vector<std::string_view>& parts) {
    parts.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t blank = message.find(' ', start);
        parts.push_back(message.substr(start, blank - start));
        if (blank == std::string_view::npos) return;
        start = blank + 1;
    }
}
