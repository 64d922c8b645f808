#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/adc/base32.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// RFC 4648's vectors without the padding ADC leaves out.
TEST(Base32, EncodesAndDecodesTheRfcVectors) {
    const struct {
        std::string_view bytes;
        std::string_view text;
    } cases[] = {{"", ""},
                 {"f", "MY"},
                 {"fo", "MZXQ"},
                 {"foo", "MZXW6"},
                 {"foob", "MZXW6YQ"},
                 {"fooba", "MZXW6YTB"},
                 {"foobar", "MZXW6YTBOI"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Base32Encode(Bytes(c.bytes)), c.text);
        EXPECT_EQ(Base32Decode(c.text), Bytes(c.bytes)) << c.text;
        EXPECT_EQ(Base32Length(c.bytes.size()), c.text.size());
    }
}

TEST(Base32, RefusesTextThatNoBytesEncodeTo) {
    for (const std::string_view text : {"mzxw6", "MZXW6=", "MZXW1", "MZXW8", "M", "MZX", "MZ", "MZXW6YTBOJ"})
        EXPECT_FALSE(Base32Decode(text).has_value()) << text;
}

}  // namespace
