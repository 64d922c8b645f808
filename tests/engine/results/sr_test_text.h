#pragma once

#include <string>
#include <string_view>

// Datagram text written readably: "{5}" stands for the byte 0x05 that separates $SR fields.
inline std::string SrText(std::string_view readable) {
    std::string text;
    for (std::size_t i = 0; i < readable.size(); ++i) {
        if (readable.substr(i, 3) == "{5}") {
            text += '\x05';
            i += 2;
        } else {
            text += readable[i];
        }
    }
    return text;
}
