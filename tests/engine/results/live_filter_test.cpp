#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results/live_filter.h"
#include "engine/results/result_store.h"
#include "engine/text/ansi_codec.h"

namespace {

struct FilterCase {
    const char* name;
    int codePage;
    std::string_view query;     // UTF-8, as typed
    std::string_view fileName;  // UTF-8 here, converted to the code page as rows hold it
    std::string_view path;
    bool matches;
    std::string_view user = "alice";
};

class LiveFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(LiveFilterTest, Matches) {
    const FilterCase& c = GetParam();
    const AnsiCodec codec(c.codePage);
    const LiveFilter filter(c.query, codec);
    EXPECT_EQ(filter.Matches(codec.FromUtf8(c.fileName), codec.FromUtf8(c.path), codec.FromUtf8(c.user)), c.matches);
}

const FilterCase kCases[] = {
    {"empty_query_passes_all", 1252, "  ", "a.avi", "x\\", true},
    {"every_word_needed", 1252, "big bunny", "Big Buck Bunny.avi", "", true},
    {"missing_word_fails", 1252, "big bear", "Big Buck Bunny.avi", "", false},
    {"word_in_path", 1252, "films bunny", "bunny.avi", "D:\\Films\\", true},
    {"word_across_path_and_name", 1252, "films\\bunny", "Bunny.avi", "D:\\Films\\", true},
    {"word_across_short_path", 1252, "x\\bun", "bunny.avi", "x\\", true},
    {"repeated_letters", 1252, "ISSIP", "mississippi.txt", "", true},
    {"accent_at_the_end", 1252, "noel", "NOËL", "", true},
    {"word_longer_than_text", 1252, "bunny.avi.part", "bunny.avi", "", false},
    {"directory_path_once", 1252, "b\\a", "A\\B\\", "A\\B\\", false},
    {"exclusion", 1252, "bunny -sample", "bunny.sample.avi", "", false},
    {"exclusion_in_path", 1252, "bunny -SAMPLE", "bunny.avi", "Samples\\", false},
    {"exclusion_absent", 1252, "bunny -sample", "bunny.avi", "films\\", true},
    {"only_exclusion", 1252, "-iso", "disc.ISO", "", false},
    {"lone_dash_ignored", 1252, "- bunny", "bunny.avi", "", true},
    {"ascii_case", 1252, "BUNNY", "bunny.avi", "", true},
    {"latin1_accents", 1252, "cafe noel", "Café Noël.mp3", "", true},
    {"accent_in_query", 1252, "CAFÉ", "cafe.mp3", "", true},
    {"latin1_case_of_accented", 1252, "élan", "ÉLAN.txt", "", true},
    {"ligature_only_case", 1252, "æsop", "ÆSOP.txt", "", true},
    {"ligature_not_ae", 1252, "aesop", "ÆSOP.txt", "", false},
    {"central_european_stroke", 1250, "lodz", "Łódź.jpg", "", true},
    {"central_european_caron", 1250, "ZLUTOUCKY", "žluťoučký kůň.txt", "", true},
    {"cyrillic_case", 1251, "КИНО", "кино.avi", "", true},
    {"cyrillic_yo", 1251, "елка", "Ёлка.mkv", "", true},
    {"cyrillic_exclusion", 1251, "фильм -трейлер", "Фильм ТРЕЙЛЕР.avi", "", false},
    {"cyrillic_different_letter", 1251, "кино", "кина.avi", "", false},
    {"greek_case_and_tonos", 1253, "ΤΑΙΝΙΑ", "ταινία.avi", "", true},
    {"greek_final_sigma", 1253, "σ", "λόγος", "", true},
    {"one_user", 1252, "user:ALI bunny", "bunny.avi", "", true},
    {"another_user", 1252, "user:bob", "bunny.avi", "", false},
    {"nick_not_in_path", 1252, "alice", "bunny.avi", "", false},
    {"leaving_a_user_out", 1252, "-user:alice", "bunny.avi", "", false},
    {"user_word_not_in_path", 1252, "user:films", "bunny.avi", "films\\", false},
    {"character_outside_code_page", 1252, "кино", "kino.avi", "", false},
    {"exclusion_outside_code_page", 1252, "kino -кино", "kino.avi", "", true},
};
INSTANTIATE_TEST_SUITE_P(Queries, LiveFilterTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

TEST(LiveFilter, AppendsMatchingRowsOfASlice) {
    const AnsiCodec codec(1252);
    ResultStore store;
    for (const char* name : {"bunny.avi", "other.txt", "BUNNY.mkv", "bunny.nfo"}) {
        SearchResult result;
        result.FileName = name;
        store.Append(result);
    }
    const LiveFilter filter("bunny", codec);
    std::vector<uint32_t> shown;
    filter.AppendMatchingRows(store, 1, 3, shown);
    filter.AppendMatchingRows(store, 3, 4, shown);
    EXPECT_EQ(shown, (std::vector<uint32_t>{2, 3}));
}

}  // namespace
