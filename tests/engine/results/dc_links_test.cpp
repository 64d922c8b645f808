#include <gtest/gtest.h>

#include <string>

#include "engine/results/dc_links.h"
#include "sr_test_text.h"

namespace {

// The Tiger Tree Hash of an empty file.
constexpr std::string_view kTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

struct TthCase {
    const char* name;
    std::string message;  // readable, "{5}" for the field separator
    std::string_view tth;
};

std::string FileWithHubField(std::string_view field) {
    return "$SR alice Films\\bunny.avi{5}276134947 2/4{5}" + std::string(field) + " (127.0.0.1:411)";
}

class TthOfSearchResultTest : public testing::TestWithParam<TthCase> {};

TEST_P(TthOfSearchResultTest, KeepsOnlyARealHash) {
    EXPECT_EQ(TthOfSearchResult(SrText(GetParam().message)), GetParam().tth);
}

const TthCase kTthCases[] = {
    {"file_with_tth", FileWithHubField("TTH:" + std::string(kTth)), kTth},
    {"hub_name_instead", FileWithHubField("Public Hub"), ""},
    {"directory_all_zero_hash", "$SR bob Films\\Shorts 1/2{5}TTH:" + std::string(39, 'A') + " (127.0.0.1:411)", ""},
    {"directory_with_hub_name", "$SR bob Films\\Shorts 1/2{5}Some Hub (127.0.0.1:411)", ""},
    {"hash_one_short", FileWithHubField("TTH:" + std::string(kTth.substr(1))), ""},
    {"hash_one_long", FileWithHubField("TTH:" + std::string(kTth) + "A"), ""},
    {"lower_case", FileWithHubField("TTH:lwpnacqdbzryxw3vhjvcj64qbznghohhhzwclnq"), ""},
    {"not_base32", FileWithHubField("TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLN1"), ""},
    {"bits_past_192_set", FileWithHubField("TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNR"), ""},
    {"no_address", "$SR alice f.avi{5}1 2/4{5}TTH:" + std::string(kTth), ""},
    {"blank_before_hash", FileWithHubField("TTH: " + std::string(kTth)), ""},
};
INSTANTIATE_TEST_SUITE_P(Variants, TthOfSearchResultTest, testing::ValuesIn(kTthCases),
                         [](const testing::TestParamInfo<TthCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

struct MagnetCase {
    const char* name;
    std::string_view fileName;  // UTF-8
    int64_t size;
    std::string_view link;
};

class MagnetLinkTest : public testing::TestWithParam<MagnetCase> {};

TEST_P(MagnetLinkTest, EncodesTheName) {
    EXPECT_EQ(MagnetLink(kTth, GetParam().size, GetParam().fileName), GetParam().link);
}

const MagnetCase kMagnetCases[] = {
    {"plain", "bunny.avi", 276134947,
     "magnet:?xt=urn:tree:tiger:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ&xl=276134947&dn=bunny.avi"},
    {"spaces_ampersand_percent", "Tom & Jerry 100% (1).mkv", 0,
     "magnet:?xt=urn:tree:tiger:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ&xl=0&dn=Tom%20%26%20Jerry%20100%25%20%281%29."
     "mkv"},
    {"cyrillic", "Кино.avi", 5,
     "magnet:?xt=urn:tree:tiger:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ&xl=5&dn=%D0%9A%D0%B8%D0%BD%D0%BE.avi"},
    {"reserved_marks", "a+b=c?d#e/f~g_h-i", 9007199254740993,
     "magnet:?xt=urn:tree:tiger:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ&xl=9007199254740993&dn=a%2Bb%3Dc%3Fd%23e%2Ff~g_"
     "h-i"},
};
INSTANTIATE_TEST_SUITE_P(Names, MagnetLinkTest, testing::ValuesIn(kMagnetCases),
                         [](const testing::TestParamInfo<MagnetCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(HubUrl, TakesOnlyAddressCharacters) {
    EXPECT_EQ(HubUrl("127.0.0.1:411"), "dchub://127.0.0.1:411");
    EXPECT_EQ(HubUrl("hub.example.org"), "dchub://hub.example.org");
    EXPECT_EQ(HubUrl("[::1]:411"), "dchub://[::1]:411");
    EXPECT_EQ(HubUrl(""), "");
    EXPECT_EQ(HubUrl("host:411 --option"), "") << "a blank could carry an argument to the desktop's handler";
    EXPECT_EQ(HubUrl("host/path"), "");
}

}  // namespace
