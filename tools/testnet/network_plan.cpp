#include "network_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

namespace {

constexpr std::array BadKinds{HubKind::Silent,      HubKind::Slow,       HubKind::NickTaken,    HubKind::Password,
                              HubKind::CloseAtOnce, HubKind::ClosedPort, HubKind::Unresolvable, HubKind::Full,
                              HubKind::Redirect,    HubKind::ShareRule};

const std::vector<std::string>& HubThemes() {
    static const std::vector<std::string> themes{"Movie Harbour", "Music Lounge", "Open Source Corner", "Book Nook",
                                                 "Retro Games",   "Photo Club",   "Classic Cinema",     "Night Owls",
                                                 "Lossless Only", "Anime Alley",  "Linux ISO Depot",    "Chill Zone"};
    return themes;
}

std::string HubNumber(std::size_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "%02zu", index + 1);
    return text;
}

// The hubs' encodings in turn, so that a network of five hubs or more has each.
constexpr std::array<std::pair<const char*, Charset>, 5> HubEncodings{{{"CP1252", Charset::Cp1252},
                                                                       {"CP1251", Charset::Cp1251},
                                                                       {"UTF-8", Charset::Utf8},
                                                                       {"CP1250", Charset::Cp1250},
                                                                       {"", Charset::Utf8}}};

// Which hubs misbehave: a seeded shuffle of the positions, then each share of the mix in turn, its kinds in turn.
std::vector<HubKind> DrawKinds(const PlanOptions& options, Rng& rng) {
    std::vector<HubKind> kinds(options.hubs, HubKind::SupportsFirst);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (rng.Chance(0.45)) kinds[i] = HubKind::StrictKey;
    }
    std::vector<std::size_t> positions(options.hubs);
    for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = i;
    for (std::size_t i = positions.size(); i > 1; --i) std::swap(positions[i - 1], positions[rng.Below(i)]);
    const std::vector<KindShare> mix =
        options.badMix.empty() ? std::vector<KindShare>{{options.badShare, {BadKinds.begin(), BadKinds.end()}}}
                               : options.badMix;
    std::size_t next = 0;
    for (const KindShare& share : mix) {
        const auto count = static_cast<std::size_t>(std::lround(share.share * static_cast<double>(options.hubs)));
        for (std::size_t i = 0; i < count && next < positions.size() && !share.kinds.empty(); ++i, ++next)
            kinds[positions[next]] = share.kinds[i % share.kinds.size()];
    }
    return kinds;
}

// Each hub's latency, drawn with a generator of its own so that the rest of the plan stays as the seed made it.
std::vector<std::chrono::milliseconds> DrawLatencies(const PlanOptions& options) {
    std::vector<std::chrono::milliseconds> latencies(options.hubs, options.minLatency);
    if (options.maxLatency <= options.minLatency) return latencies;
    Rng rng(Rng::Mix(options.seed, "latency"));
    for (auto& latency : latencies)
        latency = std::chrono::milliseconds(rng.Between(options.minLatency.count(), options.maxLatency.count()));
    return latencies;
}

// A share of the well-behaved hubs, drawn with a generator of its own (named by salt), so that the rest of the plan
// stays as the seed made it.
std::vector<bool> DrawGoodHubs(const PlanOptions& options, const std::vector<HubKind>& kinds, double share,
                               std::string_view salt) {
    std::vector<std::size_t> good;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (NetworkPlan::ForwardsSearches(kinds[i]) && kinds[i] != HubKind::Slow) good.push_back(i);
    }
    Rng rng(Rng::Mix(options.seed, salt));
    for (std::size_t i = good.size(); i > 1; --i) std::swap(good[i - 1], good[rng.Below(i)]);
    std::vector<bool> drawn(kinds.size(), false);
    const auto count =
        std::min(good.size(), static_cast<std::size_t>(std::lround(share * static_cast<double>(good.size()))));
    for (std::size_t i = 0; i < count; ++i) drawn[good[i]] = true;
    return drawn;
}

}  // namespace

NetworkPlan NetworkPlan::Build(const PlanOptions& options) {
    NetworkPlan plan;
    plan.m_catalog = ShareCatalog::Generate(options.seed);
    Rng rng(Rng::Mix(options.seed, "hubs"));
    const std::vector<HubKind> kinds = DrawKinds(options, rng);
    const std::vector<bool> adc = DrawGoodHubs(options, kinds, options.adcShare, "adc");
    const std::vector<bool> tls = DrawGoodHubs(options, kinds, options.tlsShare, "tls");
    const std::vector<std::chrono::milliseconds> latencies = DrawLatencies(options);
    for (std::size_t i = 0; i < options.hubs; ++i) {
        HubPlan hub;
        hub.kind = kinds[i];
        hub.name = "[EN] Testnet " + HubNumber(i) + " " + rng.Pick(HubThemes());
        hub.description = hub.kind == HubKind::StrictKey ? "Strict rules, fast searches" : "Everyone welcome";
        // Older hubs send a plain lock; clients then leave $Supports out.
        hub.extendedLock = hub.kind != HubKind::StrictKey || rng.Chance(0.7);
        hub.host = hub.kind == HubKind::Unresolvable ? "hub-" + HubNumber(i) + ".testnet.invalid" : "127.0.0.1";
        hub.seed = Rng::Mix(options.seed, "hub" + std::to_string(i));
        hub.adc = adc[i];
        hub.tls = tls[i];
        hub.latency = latencies[i];
        hub.listedEncoding = hub.adc ? "" : HubEncodings[i % HubEncodings.size()].first;
        hub.charset = hub.adc ? Charset::Utf8 : HubEncodings[i % HubEncodings.size()].second;
        for (std::size_t u = 0; u < options.usersPerHub; ++u) {
            hub.users.push_back(plan.m_users.size());
            plan.m_users.push_back(
                SimulatedUser::Generate(plan.m_catalog, options.seed, plan.m_users.size(), hub.charset));
        }
        plan.m_hubs.push_back(std::move(hub));
    }
    return plan;
}

bool NetworkPlan::ForwardsSearches(HubKind kind) {
    return kind == HubKind::SupportsFirst || kind == HubKind::StrictKey || kind == HubKind::Slow;
}

std::vector<std::string> NetworkPlan::Answers(const SearchRequest& request, bool activeUsersOnly) const {
    std::vector<std::string> answers;
    for (const auto& hub : m_hubs) {
        if (!ForwardsSearches(hub.kind)) continue;
        SearchRequest written = request;
        // ADC hubs carry UTF-8, and their users read the search as the NMDC users do (SimulatedAdcHub::ReadSearch).
        if (request.type != SearchMatcher::TypeTth && !hub.adc) {
            const std::optional<std::string> pattern =
                HubEncoding::FromListName(hub.listedEncoding).FromUtf8(request.pattern);
            if (!pattern) continue;
            written.pattern = *pattern;
        }
        const std::vector<SearchMatcher> matchers = SearchMatcher::ForEveryCharset(written);
        for (const std::size_t user : hub.users) {
            const SimulatedUser& simulated = m_users[user];
            if (activeUsersOnly && simulated.Passive()) continue;
            const SearchMatcher& matcher = matchers[static_cast<std::size_t>(simulated.Style().charset)];
            for (std::string& answer : simulated.Answer(matcher, m_catalog, hub.name, "127.0.0.1:0", 0))
                answers.push_back(std::move(answer));
        }
    }
    return answers;
}

std::size_t NetworkPlan::CountResults(const SearchRequest& request) const {
    return Answers(request, request.IsPassive()).size();
}
