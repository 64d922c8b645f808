#include <gtest/gtest.h>

#include <string>

#include "engine/text/hub_text_reading.h"

namespace {

struct ReadingCase {
    std::string testName;
    std::string bytes;
    std::string hubEncoding;  // "" = unknown hub
    TextReading reading;
    std::string utf8;  // "" = the locale's reading, checked separately
};

class HubTextReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(HubTextReading, FollowsTheRule) {
    const ReadingCase& c = GetParam();
    EXPECT_EQ(ChooseTextReading(c.bytes, !c.hubEncoding.empty()), c.reading);
    const HubEncoding hub = HubEncoding::FromListName(c.hubEncoding);
    const std::string read = ReadHubText(c.bytes, c.hubEncoding.empty() ? nullptr : &hub);
    EXPECT_EQ(read, c.utf8.empty() ? HubEncoding().ToUtf8(c.bytes) : c.utf8);
}

// Cyrillic "Привет" in CP1251, and "Я»" in CP1251 (D6 BB), which is also the valid UTF-8 of U+05BB: the rare 8-bit
// text that passes as UTF-8 is read as UTF-8, as the rule says (only an upper-case letter followed by bytes from
// 0x80–0xBF can do it).
INSTANTIATE_TEST_SUITE_P(
    Cases, HubTextReading,
    testing::Values(ReadingCase{"Ascii", "song.mp3", "CP1251", TextReading::Ascii, "song.mp3"},
                    ReadingCase{"AsciiUnknownHub", "song.mp3", "", TextReading::Ascii, "song.mp3"},
                    ReadingCase{"Utf8OnCp1251Hub", "\xD0\xAF.mp3", "CP1251", TextReading::Utf8, "\xD0\xAF.mp3"},
                    ReadingCase{"Utf8OnUnknownHub", "caf\xC3\xA9", "", TextReading::Utf8, "caf\xC3\xA9"},
                    ReadingCase{"Cp1251OnCp1251Hub", "\xCF\xF0\xE8\xE2\xE5\xF2", "CP1251", TextReading::HubEncoding,
                                "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
                    ReadingCase{"Cp1252OnCp1252Hub", "caf\xE9", "CP1252", TextReading::HubEncoding, "caf\xC3\xA9"},
                    ReadingCase{"Cp1251ThatIsValidUtf8", "\xD6\xBB", "CP1251", TextReading::Utf8, "\xD6\xBB"},
                    ReadingCase{"InvalidOnUtf8Hub", "a\xFF", "UTF-8", TextReading::HubEncoding, "a\xEF\xBF\xBD"},
                    ReadingCase{"TruncatedUtf8OnCp1252Hub", "caf\xC3", "CP1252", TextReading::HubEncoding,
                                "caf\xC3\x83"},
                    ReadingCase{"EightBitOnUnknownHub", "caf\xE9", "", TextReading::LocaleCodePage, ""}),
    [](const testing::TestParamInfo<ReadingCase>& caseInfo) { return caseInfo.param.testName; });

}  // namespace
