#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/adc/base32.h"
#include "engine/adc/tiger_hash.h"

namespace {

std::string HexOf(const TigerDigest& digest) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

TigerDigest TigerOf(std::string_view text) {
    return TigerHash({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// The authors' published vectors, in the byte order ADC uses; lengths around the 56-byte padding edge and over one
// block are among them.
TEST(TigerHash, MatchesPublishedVectors) {
    const struct {
        std::string_view input;
        const char* digest;
    } cases[] = {
        {"", "3293AC630C13F0245F92BBB1766E16167A4E58492DDE73F3"},
        {"abc", "2AAB1484E8C158F2BFB8C5FF41B57A525129131C957B5F93"},
        {"Tiger", "DD00230799F5009FEC6DEBC838BB6A27DF2B9D6F110C7937"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-",
         "F71C8583902AFB879EDFE610F82C0D4786A3A534504486B5"},
        {"Tiger - A Fast New Hash Function, by Ross Anderson and Eli Biham, proceedings of Fast Software Encryption 3, "
         "Cambridge, 1996.",
         "631ABDD103EB9A3D245B6DFD4D77B257FC7439501D1568DD"},
    };
    for (const auto& c : cases) EXPECT_EQ(HexOf(TigerOf(c.input)), c.digest) << '"' << c.input << '"';
}

// The tree hash of an empty file is the Tiger hash of one zero byte: the value every DC client knows.
TEST(TigerHash, EmptyFileTreeHash) {
    EXPECT_EQ(Base32Encode(TigerOf(std::string_view("\0", 1))), "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ");
}

}  // namespace
