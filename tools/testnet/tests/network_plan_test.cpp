#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

#include "hublist_writer.h"
#include "network_plan.h"
#include "raw_client.h"
#include "search_matcher.h"

namespace {

PlanOptions SmallPlan(uint64_t seed, double badShare = 0.0) {
    PlanOptions options;
    options.hubs = 8;
    options.usersPerHub = 6;
    options.badShare = badShare;
    options.seed = seed;
    return options;
}

// Every answer of every user of the plan to one search, as the hubs would pass them on.
std::vector<std::string> AllAnswers(const NetworkPlan& plan, const std::string& searchTail) {
    const auto matchers = SearchMatcher::ForEveryCharset(*SearchRequest::Parse(SearchLine(1, searchTail)));
    std::vector<std::string> answers;
    for (const auto& user : plan.Users()) {
        const SearchMatcher& matcher = matchers[static_cast<std::size_t>(user.Style().charset)];
        auto some = user.Answer(matcher, plan.Catalog(), "Some Hub", "127.0.0.1:411", 1);
        answers.insert(answers.end(), some.begin(), some.end());
    }
    return answers;
}

std::string Fingerprint(const NetworkPlan& plan) {
    std::vector<HublistEntry> entries;
    for (const auto& hub : plan.Hubs()) {
        entries.push_back({hub.name, hub.host + (hub.extendedLock ? "+" : "-"),
                           std::to_string(static_cast<int>(hub.kind)), hub.users.size(), 0, hub.listedEncoding});
    }
    std::string text = WriteHublistXml(entries);
    for (const auto& user : plan.Users()) {
        text += user.Nick() + "/" + std::to_string(user.FileCount()) + "/" + std::to_string(user.ShareBytes()) + ";";
    }
    for (const auto& file : plan.Catalog().Files()) text += file.tth;
    return text;
}

TEST(TestnetPlan, SameSeedGivesTheSameNetwork) {
    const NetworkPlan first = NetworkPlan::Build(SmallPlan(7, 0.5));
    const NetworkPlan again = NetworkPlan::Build(SmallPlan(7, 0.5));
    const NetworkPlan other = NetworkPlan::Build(SmallPlan(8, 0.5));
    EXPECT_EQ(Fingerprint(first), Fingerprint(again));
    EXPECT_NE(Fingerprint(first), Fingerprint(other));
    for (const char* tail : {"F?F?0?1?music", "T?F?1000000000?7?mkv", "F?F?0?8?season"}) {
        EXPECT_EQ(first.CountResults(*SearchRequest::Parse(SearchLine(1, tail))),
                  again.CountResults(*SearchRequest::Parse(SearchLine(1, tail))))
            << tail;
    }
}

TEST(TestnetPlan, BadShareGivesEachKindOfBadHubInTurn) {
    PlanOptions options = SmallPlan(3, 10.0 / 11);
    options.hubs = 11;
    const NetworkPlan plan = NetworkPlan::Build(options);
    std::map<HubKind, int> kinds;
    for (const auto& hub : plan.Hubs()) ++kinds[hub.kind];
    for (const HubKind bad :
         {HubKind::Silent, HubKind::Slow, HubKind::NickTaken, HubKind::Password, HubKind::CloseAtOnce,
          HubKind::ClosedPort, HubKind::Unresolvable, HubKind::Full, HubKind::Redirect, HubKind::ShareRule}) {
        EXPECT_EQ(kinds[bad], 1) << static_cast<int>(bad);
    }
    EXPECT_EQ(kinds[HubKind::SupportsFirst] + kinds[HubKind::StrictKey], 1);
    for (const auto& hub : plan.Hubs()) {
        EXPECT_EQ(hub.host.ends_with(".invalid"), hub.kind == HubKind::Unresolvable) << hub.host;
    }
    options.badShare = 0.0;
    const NetworkPlan good = NetworkPlan::Build(options);
    for (const auto& hub : good.Hubs()) EXPECT_TRUE(NetworkPlan::ForwardsSearches(hub.kind));
}

// A public list's mix: each share gets its number of hubs, its kinds in turn; the rest behave, and every hub's latency
// lies in the range.
TEST(TestnetPlan, BadMixGivesEachShareItsKindsAndEachHubALatencyInTheRange) {
    PlanOptions options = SmallPlan(5);
    options.hubs = 40;
    options.badMix = {{0.25, {HubKind::Dead}}, {0.1, {HubKind::NickTaken, HubKind::Full}}};
    options.minLatency = std::chrono::milliseconds(20);
    options.maxLatency = std::chrono::milliseconds(300);
    const NetworkPlan plan = NetworkPlan::Build(options);
    std::map<HubKind, int> kinds;
    std::set<int64_t> latencies;
    for (const auto& hub : plan.Hubs()) {
        ++kinds[hub.kind];
        latencies.insert(hub.latency.count());
    }
    EXPECT_EQ(kinds[HubKind::Dead], 10);
    EXPECT_EQ(kinds[HubKind::NickTaken], 2);
    EXPECT_EQ(kinds[HubKind::Full], 2);
    EXPECT_EQ(kinds[HubKind::SupportsFirst] + kinds[HubKind::StrictKey], 26);
    EXPECT_GE(*latencies.begin(), 20);
    EXPECT_LE(*latencies.rbegin(), 300);
    EXPECT_GT(latencies.size(), 10u) << "drawn per hub";
}

TEST(TestnetPlan, AnswersKeepTheSearchsTypeSizeAndResultForm) {
    const NetworkPlan plan = NetworkPlan::Build(SmallPlan(11));
    const struct {
        const char* tail;
        int type;
        int64_t min;
        int64_t max;
    } cases[] = {
        {"F?F?0?2?e", 2, -1, -1},
        {"F?F?0?3?e", 3, -1, -1},
        {"F?F?0?4?e", 4, -1, -1},
        {"F?F?0?5?e", 5, -1, -1},
        {"F?F?0?6?e", 6, -1, -1},
        {"T?F?1073741824?7?e", 7, 1073741824, -1},
        {"T?T?5242880?1?e", 1, -1, 5242880},
        {"F?F?0?8?e", 8, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        const auto answers = AllAnswers(plan, c.tail);
        EXPECT_FALSE(answers.empty());
        for (const auto& answer : answers) {
            ASSERT_TRUE(answer.ends_with(" (127.0.0.1:411)|")) << answer;
            const auto sr = DecodeSr(answer.substr(0, answer.size() - 1));
            ASSERT_TRUE(sr) << answer;
            EXPECT_LE(sr->freeSlots, sr->totalSlots);
            if (c.type == 8) {
                EXPECT_EQ(sr->size, -1) << answer;
                EXPECT_TRUE(sr->hubField == "Some Hub" || sr->hubField == "TTH:" + std::string(39, 'A')) << answer;
                continue;
            }
            if (sr->size == -1) continue;  // a folder whose name matches an any-type search
            const auto name = sr->path.substr(sr->path.rfind('\\') + 1);
            if (c.type != 1) {
                EXPECT_EQ(SearchMatcher::TypeOfName(name), c.type) << answer;
            }
            EXPECT_GE(sr->size, c.min);
            if (c.max >= 0) {
                EXPECT_LE(sr->size, c.max);
            }
            EXPECT_TRUE(sr->hubField.starts_with("TTH:") && sr->hubField.size() == 43) << answer;
        }
    }
}

TEST(TestnetPlan, TthSearchFindsEveryCopyOfOneFile) {
    const NetworkPlan plan = NetworkPlan::Build(SmallPlan(5));
    // The most widely shared file: its hash must come back from every user that has it, and nothing else.
    const auto answers = AllAnswers(plan, "F?F?0?1?mp3");
    ASSERT_FALSE(answers.empty());
    std::map<std::string, int> copies;
    for (const auto& answer : answers) ++copies[DecodeSr(answer.substr(0, answer.size() - 1))->hubField];
    const auto tth = copies.begin()->first;
    const auto byHash = AllAnswers(plan, "F?F?0?9?" + tth);
    ASSERT_GE(byHash.size(), 1u);
    for (const auto& answer : byHash) EXPECT_NE(answer.find(tth + " ("), std::string::npos) << answer;
}

// Users speak their hub's character set, or UTF-8 whatever the hub lists; the hub list names each hub's encoding.
TEST(TestnetPlan, UsersSendNamesInTheirHubsCharacterSetOrUtf8) {
    const NetworkPlan plan = NetworkPlan::Build(SmallPlan(2));
    std::set<std::string> listed;
    std::size_t utf8OnOtherHubs = 0;
    for (const auto& hub : plan.Hubs()) {
        listed.insert(hub.listedEncoding);
        for (const std::size_t user : hub.users) {
            const Charset charset = plan.Users()[user].Style().charset;
            EXPECT_TRUE(charset == hub.charset || charset == Charset::Utf8) << plan.Users()[user].Nick();
            if (charset != hub.charset) ++utf8OnOtherHubs;
        }
    }
    EXPECT_EQ(listed, (std::set<std::string>{"", "CP1250", "CP1251", "CP1252", "UTF-8"}));
    EXPECT_GT(utf8OnOtherHubs, 0u);
    // The Cyrillic letter o in UTF-8 and in CP1251: each finds only the users whose client speaks that character set.
    const struct {
        std::string pattern;
        Charset charset;
    } cases[] = {{"\xD0\xBE", Charset::Utf8}, {"\xEE", Charset::Cp1251}};
    for (const auto& c : cases) {
        const auto matchers =
            SearchMatcher::ForEveryCharset(*SearchRequest::Parse(SearchLine(1, "F?F?0?1?" + c.pattern)));
        std::size_t found = 0;
        for (const auto& user : plan.Users()) {
            const auto answers = user.Answer(matchers[static_cast<std::size_t>(user.Style().charset)], plan.Catalog(),
                                             "Hub", "127.0.0.1:1", 1);
            if (!answers.empty()) {
                EXPECT_EQ(user.Style().charset, c.charset) << user.Nick();
            }
            found += answers.size();
        }
        EXPECT_GT(found, 0u);
    }
}

}  // namespace
