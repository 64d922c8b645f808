#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/nmdc/user_ip.h"

namespace {

TEST(UserIpOf, ReadsOwnAddressAndDropsMalformedLinesWhole) {
    const struct {
        std::string line;
        std::optional<std::string> address;
    } cases[] = {
        {"$UserIP me 203.0.113.7$$", "203.0.113.7"},
        {"$UserIP me 203.0.113.7", "203.0.113.7"},
        {"$UserIP other 198.51.100.1$$me 203.0.113.7$$", "203.0.113.7"},
        {"$UserIP me 100.64.0.9$$other 198.51.100.1$$", "100.64.0.9"},
        {"$UserIP other 198.51.100.1$$", std::nullopt},
        {"$UserIP Me 203.0.113.7$$", std::nullopt},
        {"$UserIP mee 203.0.113.7$$", std::nullopt},
        {"$UserIP me 203.0.113.7$$other 1.2.3$$", std::nullopt},
        {"$UserIP me 203.0.113.256$$", std::nullopt},
        {"$UserIP me 203.0.113.07$$", std::nullopt},
        {"$UserIP me 2001:db8::1$$", std::nullopt},
        {"$UserIP me 203.0.113.7 x$$", std::nullopt},
        {"$UserIP me  203.0.113.7$$", std::nullopt},
        {"$UserIP  me 203.0.113.7$$", std::nullopt},
        {"$UserIP me$$", std::nullopt},
        {"$UserIP me 203.0.113.7$$$$", std::nullopt},
        {"$UserIP ", std::nullopt},
        {"$UserIPme 203.0.113.7", std::nullopt},
        {"$MyINFO $ALL me 203.0.113.7", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(UserIpOf(c.line, "me"), c.address) << c.line;
}

}  // namespace
