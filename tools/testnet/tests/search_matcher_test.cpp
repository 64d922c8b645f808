#include <gtest/gtest.h>

#include "search_matcher.h"
#include "search_request.h"
#include "simulated_adc_hub.h"

namespace {

struct ParseCase {
    const char* message;
    bool valid;
    SearchRequest::SizeLimit limit;
    int64_t size;
    int type;
    const char* pattern;
};

TEST(TestnetSearchRequest, ParsesTheFieldsOrRejectsTheWholeMessage) {
    using Limit = SearchRequest::SizeLimit;
    const ParseCase cases[] = {
        {"$Search 10.0.0.5:1025 T?F?734003200?7?big$buck", true, Limit::AtLeast, 734003200, 7, "big$buck"},
        {"$Search 127.0.0.1:9 T?T?5120?1?a", true, Limit::AtMost, 5120, 1, "a"},
        {"$Search 127.0.0.1:9 F?F?0?9?TTH:ABCDEF", true, Limit::None, 0, 9, "TTH:ABCDEF"},
        {"$Search 127.0.0.1:9 F?F?0?1?what?is$this", true, Limit::None, 0, 1, "what?is$this"},
        {"$Search 127.0.0.1:9 F?F?0?1?", true, Limit::None, 0, 1, ""},
        {"$Search Hub:alice F?F?0?1?x", true, Limit::None, 0, 1, "x"},
        {"$Search 127.0.0.1:9 T?F?3221225472?3?iso", true, Limit::AtLeast, 3221225472, 3, "iso"},
        {"$Search 127.0.0.1:9 X?F?0?1?x", false, Limit::None, 0, 0, ""},
        {"$Search 127.0.0.1:9 F?F?abc?1?x", false, Limit::None, 0, 0, ""},
        {"$Search 127.0.0.1:9 F?F?0?10?x", false, Limit::None, 0, 0, ""},
        {"$Search 127.0.0.1:9 F?F?0?1", false, Limit::None, 0, 0, ""},
        {"$Search 127.0.0.1:9", false, Limit::None, 0, 0, ""},
        {"$SR 127.0.0.1:9 F?F?0?1?x", false, Limit::None, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto request = SearchRequest::Parse(c.message);
        ASSERT_EQ(request.has_value(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(request->sizeLimit, c.limit);
        EXPECT_EQ(request->size, c.size);
        EXPECT_EQ(request->type, c.type);
        EXPECT_EQ(request->pattern, c.pattern);
        EXPECT_EQ(request->ToMessage(), c.message);
    }
}

// ADC hubs read a BSCH as the NMDC search the same form gives, so that both kinds of user answer alike.
TEST(TestnetSearchRequest, ReadsAnAdcSearchAsTheNmdcSearchOfTheSameForm) {
    const struct {
        const char* line;
        const char* nmdcTail;  // empty: not a search
    } cases[] = {
        {"BSCH AAAH ANbig ANbuck TOt1", "F?F?0?1?big$buck"},
        {"BSCH AAAH ANa\\sb GE4194304 LE9437184 TY1 EXmp3 EXwav TOt1", "T?F?4194304?2?a b"},
        {"BSCH AAAH ANiso LE5120 TOt1", "T?T?5120?1?iso"},
        {"BSCH AAAH ANMusic TY2 TOt1", "F?F?0?8?Music"},
        {"BSCH AAAH TRLWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ TOt1",
         "F?F?0?9?TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ"},
        {"BSCH AAAH ANx GEmany TOt1", ""},
        {"BINF AAAH NIx", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<AdcMessage> message = ParseAdcMessage(c.line);
        ASSERT_TRUE(message);
        const std::optional<SearchRequest> request = SimulatedAdcHub::ReadSearch(*message);
        ASSERT_EQ(request.has_value(), *c.nmdcTail != '\0');
        if (request) {
            EXPECT_EQ(request->ToMessage(), "$Search  " + std::string(c.nmdcTail));
        }
    }
}

struct MatchCase {
    const char* search;
    const char* path;  // a file path, or a folder name when type is 8
    int fileType;
    int64_t size;
    bool matches;
};

TEST(TestnetSearchMatcher, MatchesWordsSizeAndTypeAsClientsDo) {
    const char* tth = "TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";
    const MatchCase cases[] = {
        // Every word, anywhere in the path, ASCII case ignored.
        {"F?F?0?1?big$buck", "movies\\big buck bunny (2008)\\big.buck.bunny.mkv", 7, 1000, true},
        {"F?F?0?1?BIG$Bunny", "movies\\big buck bunny (2008)\\big.buck.bunny.mkv", 7, 1000, true},
        {"F?F?0?1?big$sintel", "movies\\big buck bunny (2008)\\big.buck.bunny.mkv", 7, 1000, false},
        {"F?F?0?1?movies", "movies\\sintel.mkv", 7, 1000, true},
        {"F?F?0?1?$$$", "movies\\sintel.mkv", 7, 1000, false},
        // Size limits are inclusive.
        {"T?F?1000?1?sintel", "movies\\sintel.mkv", 7, 1000, true},
        {"T?F?1001?1?sintel", "movies\\sintel.mkv", 7, 1000, false},
        {"T?T?1000?1?sintel", "movies\\sintel.mkv", 7, 1000, true},
        {"T?T?999?1?sintel", "movies\\sintel.mkv", 7, 1000, false},
        // The type must agree with the extension; folders and TTH searches do not match files by words.
        {"F?F?0?7?sintel", "movies\\sintel.mkv", 7, 1000, true},
        {"F?F?0?2?sintel", "movies\\sintel.mkv", 7, 1000, false},
        {"F?F?0?8?sintel", "movies\\sintel.mkv", 7, 1000, false},
        {"F?F?0?9?sintel", "movies\\sintel.mkv", 7, 1000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.search) + " / " + c.path);
        const SearchMatcher matcher(*SearchRequest::Parse(std::string("$Search 127.0.0.1:9 ") + c.search),
                                    Charset::Utf8);
        EXPECT_EQ(matcher.MatchesFile(c.path, c.fileType, c.size, "OTHER"), c.matches);
    }
    const SearchMatcher byHash(*SearchRequest::Parse(std::string("$Search 127.0.0.1:9 F?F?0?9?") + tth), Charset::Utf8);
    EXPECT_TRUE(byHash.MatchesFile("x.mkv", 7, 1, std::string(tth).substr(4)));
    EXPECT_FALSE(byHash.MatchesFile("x.mkv", 7, 1, "OTHER"));
}

// A client reads the search in its own character set and ignores case beyond ASCII, but not accents.
TEST(TestnetSearchMatcher, ClientsReadTheSearchInTheirCharacterSet) {
    const struct {
        const char* name;
        std::string pattern;  // as the hub passes it on
        Charset readAs;
        std::string path;  // UTF-8
        bool matches;
    } cases[] = {
        {"CP1251 search, CP1251 client", "\xCF\xE5\xF1\xED\xFF", Charset::Cp1251, "Музыка\\ПЕСНЯ.mp3", true},
        {"CP1251 search, UTF-8 client", "\xCF\xE5\xF1\xED\xFF", Charset::Utf8, "Музыка\\Песня.mp3", false},
        {"UTF-8 search, UTF-8 client", "песня", Charset::Utf8, "Музыка\\Песня.mp3", true},
        {"UTF-8 search, CP1251 client", "песня", Charset::Cp1251, "Музыка\\Песня.mp3", false},
        {"CP1252 accents, case ignored", "CAF\xC9", Charset::Cp1252, "Café Solitaire.flac", true},
        {"CP1250 letters",
         "\xB3\xF3"
         "d\x9F",
         Charset::Cp1250, "ŁÓDŹ.jpg", true},
        {"accents kept", "cafe", Charset::Utf8, "Café.flac", false},
        {"ASCII words in any character set", "cafe$MP3", Charset::Cp1251, "cafe.mp3", true},
    };
    for (const auto& c : cases) {
        const SearchMatcher matcher(*SearchRequest::Parse("$Search 127.0.0.1:9 F?F?0?1?" + c.pattern), c.readAs);
        EXPECT_EQ(matcher.MatchesFile(SearchMatcher::Lowered(c.path), 0, 1, "OTHER"), c.matches) << c.name;
    }
    EXPECT_EQ(SearchMatcher::Lowered("AZ ÀÉÞ Ÿ ĀĹŁŽ ΑΣΩ ЁЖЯ ×"), "az àéþ ÿ āĺłž ασω ёжя ×");
}

TEST(TestnetSearchMatcher, FoldersAnswerTypeFolderAndAnyTypeOnly) {
    const struct {
        const char* search;
        bool matches;
    } cases[] = {{"F?F?0?8?season", true},
                 {"F?F?0?1?season", true},
                 {"F?F?0?7?season", false},
                 {"F?F?0?8?season$02", false},
                 {"T?F?99999999?8?season", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.search);
        const SearchMatcher matcher(*SearchRequest::Parse(std::string("$Search 127.0.0.1:9 ") + c.search),
                                    Charset::Utf8);
        EXPECT_EQ(matcher.MatchesFolder("season 01"), c.matches);
    }
}

TEST(TestnetSearchMatcher, TypesFollowTheExtension) {
    const struct {
        const char* name;
        int type;
    } cases[] = {{"a.mp3", 2},  {"a.FLAC", 2}, {"a.tar.gz", 3}, {"a.7z", 3},  {"a.pdf", 4},
                 {"a.docx", 4}, {"a.exe", 5},  {"a.msi", 5},    {"a.JPG", 6}, {"a.png", 6},
                 {"a.mkv", 7},  {"a.avi", 7},  {"a.srt", 0},    {"noext", 0}, {"a.m3u", 0}};
    for (const auto& c : cases) EXPECT_EQ(SearchMatcher::TypeOfName(c.name), c.type) << c.name;
}

}  // namespace
