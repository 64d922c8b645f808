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
    text.reserve(part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '\n') return std::nullopt;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i == part.size()) return std::nullopt;
        switch (part[i]) {
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
                return std::nullopt;
        }
    }
    return text;
}

std::vector<std::string_view> SplitAdcMessage(std::string_view message) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t blank = message.find(' ', start);
        parts.push_back(message.substr(start, blank - start));
        if (blank == std::string_view::npos) return parts;
        start = blank + 1;
    }
}
