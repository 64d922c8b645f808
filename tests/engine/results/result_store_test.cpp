#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "engine/results/result_store.h"
#include "support/result_row_order.h"

namespace {

SearchResult Make(std::string fileName, int64_t size = 1, int32_t freeSlots = 1, int32_t totalSlots = 1,
                  std::string user = "u", std::string hub = "h", std::string path = "p\\") {
    SearchResult r;
    r.FileName = std::move(fileName);
    r.Size = size;
    r.SizeText = size == -1 ? "<DIR>" : "x";
    r.FreeSlots = freeSlots;
    r.TotalSlots = totalSlots;
    r.SlotsText = std::to_string(freeSlots) + "/" + std::to_string(totalSlots);
    r.User = std::move(user);
    r.HubAddress = std::move(hub);
    r.Path = std::move(path);
    return r;
}

SearchResult WithTth(SearchResult r, char filler) {
    r.Tth.assign(39, filler);
    return r;
}

std::vector<std::string> FileNames(const ResultStore& store) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < store.Count(); ++i) names.emplace_back(store.Row(i).FileName);
    return names;
}

TEST(ResultStore, KeepsEveryFieldOfEveryRow) {
    ResultStore store;
    SearchResult withZeroByte = Make(std::string("a\0b", 3), 42, 3, 7, "nick", "10.0.0.1:411", "dir\\sub\\");
    withZeroByte.Tth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";
    store.Append(withZeroByte);
    SearchResult shortHash = Make("", -1, 0, 0, "", "", "");
    shortHash.Tth = "LWPNACQ";
    store.Append(shortHash);
    SearchResult fileOfSizeMinusOne = Make("f", -1);
    fileOfSizeMinusOne.SizeText = "-1 B";
    store.Append(fileOfSizeMinusOne);
    store.Append(Make(std::string(5000, 'n'), 1, 1, 1, "u", "h", std::string(3000, 'p')));

    ASSERT_EQ(store.Count(), 4u);
    const ResultRow first = store.Row(0);
    EXPECT_EQ(first.FileName, withZeroByte.FileName);
    EXPECT_EQ(first.SlotsText, "3/7");
    EXPECT_EQ(first.User, "nick");
    EXPECT_EQ(first.HubAddress, "10.0.0.1:411");
    EXPECT_EQ(first.Path, "dir\\sub\\");
    EXPECT_EQ(first.Tth, withZeroByte.Tth);
    EXPECT_EQ(store.Row(1).Tth, "") << "only a whole hash is kept";
    EXPECT_EQ(first.Size, 42);
    EXPECT_EQ(first.FreeSlots, 3);
    EXPECT_EQ(first.TotalSlots, 7);
    EXPECT_FALSE(first.IsDirectory);
    EXPECT_TRUE(store.Row(1).IsDirectory);
    EXPECT_TRUE(store.Row(1).FileName.empty());
    EXPECT_FALSE(store.Row(2).IsDirectory) << "only the size text marks a directory";
    EXPECT_EQ(store.Row(3).FileName.size(), 5000u);
    EXPECT_EQ(store.Row(3).Path, std::string(3000, 'p'));

    store.Clear();
    EXPECT_EQ(store.Count(), 0u);
    store.Append(Make("again"));
    EXPECT_EQ(store.Row(0).FileName, "again");
}

TEST(ResultStore, SortFollowsEachColumnsRule) {
    struct Case {
        const char* what;
        int column;
        SearchResult a;
        SearchResult b;
        int sign;
    };
    const Case cases[] = {
        {"name ignores case", kFileNameColumn, Make("Alpha"), Make("alpha"), 0},
        {"name prefix first", kFileNameColumn, Make("abc"), Make("ABCD"), -1},
        {"name folds accents", kFileNameColumn, Make("Zeta"), Make("Äpfel"), 1},
        {"name folds Cyrillic case", kFileNameColumn, Make("Абв"), Make("абв"), 0},
        {"name folds ё to е", kFileNameColumn, Make("Ёж"), Make("еж"), 0},
        {"name bytes that are not UTF-8 stay", kFileNameColumn, Make("\xC4"), Make("\xE4"), -1},
        {"name folds letters before comparing: '_' before 'A'", kFileNameColumn, Make("_"), Make("A"), -1},
        {"size signed", kSizeColumn, Make("d", -1), Make("f", 0), -1},
        {"size large", kSizeColumn, Make("a", int64_t{1} << 40), Make("b", 5), 1},
        {"size equal", kSizeColumn, Make("a", 5), Make("b", 5), 0},
        {"slots free first", kSlotsColumn, Make("a", 1, 0, 5), Make("b", 1, 1, 2), -1},
        {"slots then total", kSlotsColumn, Make("a", 1, 2, 3), Make("b", 1, 2, 4), -1},
        {"slots negative", kSlotsColumn, Make("a", 1, -1, 9), Make("b", 1, 0, 0), -1},
        {"slots equal", kSlotsColumn, Make("a", 1, 2, 4), Make("b", 1, 2, 4), 0},
        {"user ignores case", kUserColumn, Make("a", 1, 1, 1, "BOB"), Make("b", 1, 1, 1, "alice"), 1},
        {"hub case-sensitive", kHubAddressColumn, Make("a", 1, 1, 1, "u", "Bhub"), Make("b", 1, 1, 1, "u", "ahub"), -1},
        {"hub exact", kHubAddressColumn, Make("a", 1, 1, 1, "u", "x"), Make("b", 1, 1, 1, "u", "x"), 0},
        {"path ignores case", kPathColumn, Make("a", 1, 1, 1, "u", "h", "MUSIC\\"),
         Make("b", 1, 1, 1, "u", "h", "music\\"), 0},
        {"path prefix first", kPathColumn, Make("a", 1, 1, 1, "u", "h", "m\\"), Make("b", 1, 1, 1, "u", "h", "m\\x\\"),
         -1},
        {"tth case-sensitive, none first", kTthColumn, Make("a"), WithTth(Make("b"), 'A'), -1},
        {"tth order", kTthColumn, WithTth(Make("a"), 'Q'), WithTth(Make("b"), '2'), 1},
    };
    // Equal rows keep their order in both directions; otherwise descending mirrors ascending.
    for (const Case& c : cases) {
        for (const bool descending : {false, true}) {
            ResultStore store;
            store.Append(c.a);
            store.Append(c.b);
            const bool swapped = descending ? c.sign < 0 : c.sign > 0;
            const std::vector<uint32_t> expected = swapped ? std::vector<uint32_t>{1, 0} : std::vector<uint32_t>{0, 1};
            EXPECT_EQ(store.Sort(c.column, descending), expected)
                << c.what << (descending ? " descending" : " ascending");
        }
    }
}

TEST(ResultStore, SortsLikeTheListsHeaderClicks) {
    ResultStore store;
    store.Append(Make("dir", -1));
    store.Append(Make("small", 10));
    store.Append(Make("big", 1000));
    store.Sort(kSizeColumn, true);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"big", "small", "dir"})) << "directories last descending";
    store.Sort(kSizeColumn, false);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"dir", "small", "big"}));

    store.Clear();
    store.Append(Make("1/2", 1, 1, 2));
    store.Append(Make("2/4", 1, 2, 4));
    store.Append(Make("0/5", 1, 0, 5));
    store.Append(Make("2/3", 1, 2, 3));
    store.Sort(kSlotsColumn, false);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"0/5", "1/2", "2/3", "2/4"}));

    store.Clear();
    store.Append(Make("Äpfel"));
    store.Append(Make("alpha", 1));
    store.Append(Make("Zeta"));
    store.Append(Make("Alpha", 2));
    store.Sort(kFileNameColumn, false);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"alpha", "Alpha", "Äpfel", "Zeta"}));
    store.Sort(kFileNameColumn, true);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"Zeta", "Äpfel", "alpha", "Alpha"}))
        << "equal names keep their order in both directions";

    store.Clear();
    store.Append(Make("lower", 1, 1, 1, "u", "a.example:411"));
    store.Append(Make("upper", 1, 1, 1, "u", "B.example:411"));
    const std::vector<uint32_t> order = store.Sort(kHubAddressColumn, false);
    EXPECT_EQ(FileNames(store), (std::vector<std::string>{"upper", "lower"}));
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 0}));
}

// Names in a reader's order: accents sort with their base letter, then Greek, then Cyrillic, case ignored.
TEST(ResultStore, SortsMixedScriptNamesAsAReaderExpects) {
    const std::vector<std::string> ascending = {"_notes", "Äpfel",   "apple",  "Éclair", "étude",  "Łódź", "Zebra",
                                                "Άλφα",   "Абрикос", "берёза", "Ёлка",   "Яблоко", "я\xFF"};
    for (const int column : {kFileNameColumn, kUserColumn, kPathColumn}) {
        ResultStore store;
        for (auto name = ascending.rbegin(); name != ascending.rend(); ++name)
            store.Append(Make(*name, 1, 1, 1, *name, "h", *name));
        store.Sort(column, false);
        EXPECT_EQ(FileNames(store), ascending) << "column " << column;
        store.Sort(column, true);
        EXPECT_EQ(FileNames(store), std::vector<std::string>(ascending.rbegin(), ascending.rend()))
            << "column " << column;
    }
}

// The sort reads texts in chunks of eight bytes, further chunks only on ties; it must agree with the comparison.
TEST(ResultStore, SortAgreesWithStableSortOnTheComparison) {
    std::mt19937 random(12345);
    const auto text = [&random]() {
        // Shared prefixes of several lengths make texts tie across many eight-byte chunks.
        static const char* const kAlphabet[] = {"a", "A", "b", "_", "\xE4", "ä", "Ä", "ж", "Ж", "ё"};
        static const char* const kPrefixes[] = {"", "Same\\Folder\\", "SAME\\folder\\Sub\\",
                                                "Same\\Folder\\Sub\\Deeper\\", "same\\folder\\sub\\deeper\\Still\\"};
        std::string s = kPrefixes[random() % 5];
        for (std::size_t length = random() % 12; length > 0; --length) s += kAlphabet[random() % std::size(kAlphabet)];
        if (random() % 4 == 0) s += '\0';
        return s;
    };
    ResultStore store;
    for (int i = 0; i < 1000; ++i) {
        SearchResult r =
            Make("n" + text(), static_cast<int64_t>(random() % 7) - 2, static_cast<int32_t>(random() % 3) - 1,
                 static_cast<int32_t>(random() % 3), text(), text(), text());
        if (random() % 2 == 0) r = WithTth(std::move(r), "AQ2"[random() % 3]);
        store.Append(r);
    }
    for (int column = 0; column < kResultColumnCount; ++column) {
        for (bool descending : {false, true}) {
            std::vector<ResultRow> expected;
            for (std::size_t i = 0; i < store.Count(); ++i) expected.push_back(store.Row(i));
            std::stable_sort(expected.begin(), expected.end(), [&](const ResultRow& a, const ResultRow& b) {
                return descending ? CompareResultRows(b, a, column) < 0 : CompareResultRows(a, b, column) < 0;
            });
            store.Sort(column, descending);
            for (std::size_t i = 0; i < store.Count(); ++i) {
                ASSERT_EQ(store.Row(i).FileName.data(), expected[i].FileName.data())
                    << "column " << column << (descending ? " descending" : " ascending") << " row " << i;
            }
        }
    }
}

}  // namespace
