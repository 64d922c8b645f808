#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/search/search_history.h"

namespace {

SearchHistoryEntry Entry(std::string phrase, int fileType = 0, int sizeCondition = 0, std::string firstValue = "") {
    SearchHistoryEntry entry;
    entry.phrase = std::move(phrase);
    entry.form.fileType = fileType;
    entry.form.sizeCondition = sizeCondition;
    entry.form.firstValue = std::move(firstValue);
    return entry;
}

// Every stored field, comparable and printable.
using Fields = std::tuple<std::string, int, int, std::string, int, std::string, int>;
Fields FieldsOf(const SearchHistoryEntry& e) {
    const SearchForm& f = e.form;
    return {e.phrase, f.fileType, f.sizeCondition, f.firstValue, f.firstUnit, f.secondValue, f.secondUnit};
}
std::vector<Fields> FieldsOf(const std::vector<SearchHistoryEntry>& entries) {
    std::vector<Fields> fields;
    for (const SearchHistoryEntry& e : entries) fields.push_back(FieldsOf(e));
    return fields;
}

TEST(SearchHistory, KeepsTheNewestOfEachPhraseUpToTheLimit) {
    SearchHistory history;
    for (int i = 0; i < 60; ++i) history.Add(Entry("phrase " + std::to_string(i)));
    history.Add(Entry("phrase 30", 6, 1, "700"));
    history.Add(Entry("   "));

    const auto& entries = history.Entries();
    ASSERT_EQ(entries.size(), kSearchHistoryLimit);
    EXPECT_EQ(FieldsOf(entries[0]), FieldsOf(Entry("phrase 30", 6, 1, "700")))
        << "searched again: on top with its new form";
    EXPECT_EQ(entries[1].phrase, "phrase 59");
    EXPECT_EQ(entries.back().phrase, "phrase 10") << "the moved phrase took no second place";
    history.Clear();
    EXPECT_TRUE(history.Entries().empty());
}

TEST(SearchHistory, TextRoundTripsEveryField) {
    SearchHistory history;
    SearchHistoryEntry between = Entry("big buck bunny", 6, 3, "1.5");
    between.form.firstUnit = 3;
    between.form.secondValue = "2";
    between.form.secondUnit = 1;
    history.Add(between);
    history.Add(Entry("tab\there \\ back\nline\r кино", 8));
    history.Add(Entry("LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ", 8));

    EXPECT_EQ(FieldsOf(SearchHistory::FromText(history.ToText()).Entries()), FieldsOf(history.Entries()));
}

TEST(SearchHistory, SkipsBadLinesAndForeignText) {
    const std::string good = "0\t0\t\t2\t\t2\tbunny\n";
    const std::string text = "Hubsift search history 1\n" + good +
                             "9\t0\t\t2\t\t2\tfile type past the list\n"
                             "0\t4\t\t2\t\t2\tsize condition past the list\n"
                             "0\t0\t\t2\t\t2\n"  // a field short
                             "0\t0\t\t2\t\t2\tbad \\x escape\n"
                             "0\t0\t\t2\t\t2\t\n"  // empty phrase
                             "x\t0\t\t2\t\t2\tnot a number\n" +
                             good;  // twice
    const auto entries = SearchHistory::FromText(text).Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(FieldsOf(entries[0]), FieldsOf(Entry("bunny")));

    EXPECT_TRUE(SearchHistory::FromText(good).Entries().empty()) << "no format line";
    EXPECT_TRUE(SearchHistory::FromText("").Entries().empty());
}

}  // namespace
