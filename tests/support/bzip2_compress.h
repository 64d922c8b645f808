#pragma once

#include <bzlib.h>

#include <string>

// One complete bzip2 stream holding text.
inline std::string Bzip2Compress(const std::string& text) {
    std::string out(text.size() + text.size() / 100 + 600, '\0');
    auto length = static_cast<unsigned>(out.size());
    const int result = BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(text.data()),
                                                static_cast<unsigned>(text.size()), 9, 0, 0);
    out.resize(result == BZ_OK ? length : 0);
    return out;
}
