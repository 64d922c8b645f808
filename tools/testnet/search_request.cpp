#include "search_request.h"

#include <charconv>

namespace {

// The next field up to "?", advancing text past it; nullopt when no "?" is left.
std::optional<std::string_view> TakeField(std::string_view& text) {
    const auto mark = text.find('?');
    if (mark == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(0, mark);
    text.remove_prefix(mark + 1);
    return field;
}

template <class Number>
bool ReadNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::optional<SearchRequest> SearchRequest::Parse(std::string_view message) {
    constexpr std::string_view command = "$Search ";
    if (!message.starts_with(command)) return std::nullopt;
    message.remove_prefix(command.size());
    const auto blank = message.find(' ');
    if (blank == std::string_view::npos || blank == 0) return std::nullopt;
    SearchRequest request;
    request.address = std::string(message.substr(0, blank));
    std::string_view rest = message.substr(blank + 1);
    const auto restricted = TakeField(rest);
    const auto atMost = TakeField(rest);
    const auto size = TakeField(rest);
    const auto type = TakeField(rest);
    if (!type || (*restricted != "T" && *restricted != "F") || (*atMost != "T" && *atMost != "F")) {
        return std::nullopt;
    }
    if (!ReadNumber(*size, request.size) || request.size < 0) return std::nullopt;
    if (!ReadNumber(*type, request.type) || request.type < 1 || request.type > 9) return std::nullopt;
    if (*restricted == "T") request.sizeLimit = *atMost == "T" ? SizeLimit::AtMost : SizeLimit::AtLeast;
    request.pattern = std::string(rest);
    return request;
}

std::string SearchRequest::ToMessage() const {
    std::string sizePart = "F?F?0?";
    if (sizeLimit != SizeLimit::None) {
        sizePart = std::string(sizeLimit == SizeLimit::AtMost ? "T?T?" : "T?F?") + std::to_string(size) + "?";
    }
    return "$Search " + address + " " + sizePart + std::to_string(type) + "?" + pattern;
}
