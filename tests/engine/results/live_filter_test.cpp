#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results/live_filter.h"
#include "engine/results/result_store.h"

namespace {

struct FilterCase {
    const char* name;
    std::string_view query;  // as typed
    std::string_view fileName;
    std::string_view path;
    bool matches;
    std::string_view user = "alice";
};

class LiveFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(LiveFilterTest, Matches) {
    const FilterCase& c = GetParam();
    const LiveFilter filter(c.query);
    EXPECT_EQ(filter.Matches(c.fileName, c.path, c.user), c.matches);
}

const FilterCase kCases[] = {
    {"empty_query_passes_all", "  ", "a.avi", "x\\", true},
    {"every_word_needed", "big bunny", "Big Buck Bunny.avi", "", true},
    {"missing_word_fails", "big bear", "Big Buck Bunny.avi", "", false},
    {"word_in_path", "films bunny", "bunny.avi", "D:\\Films\\", true},
    {"word_across_path_and_name", "films\\bunny", "Bunny.avi", "D:\\Films\\", true},
    {"word_across_short_path", "x\\bun", "bunny.avi", "x\\", true},
    {"accent_just_before_the_joint", "é\\x", "x.txt", "AÉ\\", true},
    {"repeated_letters", "ISSIP", "mississippi.txt", "", true},
    {"accent_at_the_end", "noel", "NOËL", "", true},
    {"word_longer_than_text", "bunny.avi.part", "bunny.avi", "", false},
    {"directory_path_once", "b\\a", "A\\B\\", "A\\B\\", false},
    {"exclusion", "bunny -sample", "bunny.sample.avi", "", false},
    {"exclusion_in_path", "bunny -SAMPLE", "bunny.avi", "Samples\\", false},
    {"exclusion_absent", "bunny -sample", "bunny.avi", "films\\", true},
    {"only_exclusion", "-iso", "disc.ISO", "", false},
    {"lone_dash_ignored", "- bunny", "bunny.avi", "", true},
    {"ascii_case", "BUNNY", "bunny.avi", "", true},
    {"latin1_accents", "cafe noel", "Café Noël.mp3", "", true},
    {"accent_in_query", "CAFÉ", "cafe.mp3", "", true},
    {"latin1_case_of_accented", "élan", "ÉLAN.txt", "", true},
    {"ligature_only_case", "æsop", "ÆSOP.txt", "", true},
    {"ligature_not_ae", "aesop", "ÆSOP.txt", "", false},
    {"central_european_stroke", "lodz", "Łódź.jpg", "", true},
    {"central_european_caron", "ZLUTOUCKY", "žluťoučký kůň.txt", "", true},
    {"cyrillic_case", "КИНО", "кино.avi", "", true},
    {"cyrillic_yo", "елка", "Ёлка.mkv", "", true},
    {"cyrillic_exclusion", "фильм -трейлер", "Фильм ТРЕЙЛЕР.avi", "", false},
    {"cyrillic_different_letter", "кино", "кина.avi", "", false},
    {"greek_case_and_tonos", "ΤΑΙΝΙΑ", "ταινία.avi", "", true},
    {"greek_final_sigma", "σ", "λόγος", "", true},
    {"one_user", "user:ALI bunny", "bunny.avi", "", true},
    {"another_user", "user:bob", "bunny.avi", "", false},
    {"nick_not_in_path", "alice", "bunny.avi", "", false},
    {"leaving_a_user_out", "-user:alice", "bunny.avi", "", false},
    {"user_word_not_in_path", "user:films", "bunny.avi", "films\\", false},
    {"cyrillic_and_latin_words", "kino кино", "Kino КИНО.avi", "", true},
    {"accent_folds_to_a_shorter_text", "e", "\xC3\x89", "", true},
    {"bytes_not_utf8_kept", "\xFF", "a\xFF.bin", "", true},
};
INSTANTIATE_TEST_SUITE_P(Queries, LiveFilterTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FilterCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(LiveFilter, AppendsMatchingRowsOfASlice) {
    ResultStore store;
    for (const char* name : {"bunny.avi", "other.txt", "BUNNY.mkv", "bunny.nfo"}) {
        SearchResult result;
        result.FileName = name;
        store.Append(result);
    }
    const LiveFilter filter("bunny");
    std::vector<uint32_t> shown;
    filter.AppendMatchingRows(store, 1, 3, shown);
    filter.AppendMatchingRows(store, 3, 4, shown);
    EXPECT_EQ(shown, (std::vector<uint32_t>{2, 3}));
}

}  // namespace
