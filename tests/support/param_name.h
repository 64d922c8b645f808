#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A parameterised case's name from its own words: letters and digits are kept, every other run of characters
// becomes one "_", and the case's index follows. Readable for ctest -R, the same in every build, and unique.
inline std::string ParamName(std::string_view words, std::size_t index) {
    std::string name;
    for (const char c : words) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (!name.empty() && name.back() != '_') name += '_';
    return name + std::to_string(index);
}
