#include "charset.h"

#include <array>

const HubEncoding& EncodingOf(Charset charset) {
    static const std::array<HubEncoding, kCharsetCount> encodings{
        HubEncoding::FromListName("UTF-8"), HubEncoding::FromListName("CP1252"), HubEncoding::FromListName("CP1251"),
        HubEncoding::FromListName("CP1250")};
    return encodings[static_cast<std::size_t>(charset)];
}
