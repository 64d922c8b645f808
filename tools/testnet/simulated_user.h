#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rng.h"
#include "search_matcher.h"
#include "share_catalog.h"

// How one simulated user's client writes its answers; real clients differ in each of these.
struct ReplyStyle {
    Charset charset = Charset::Utf8;
    bool leadingBackslash = false;      // paths begin with "\"
    bool folderTthPlaceholder = false;  // folder results carry "TTH:" and 39 "A"s where the hub name stands
    bool packsDatagrams = false;        // several results per datagram
};

// One shared item that answers a search: a folder or a file, by its index into the catalog.
struct SharedMatch {
    bool folder = false;
    uint32_t index = 0;
};

// A user of a simulated hub: a nick, a share (whole folders of the catalog) and the way its client answers.
class SimulatedUser {
public:
    // Active clients send at most this many results for one search.
    static constexpr std::size_t MaxResults = 10;

    // A user of a hub whose clients speak hubCharset; some users send UTF-8 anyway.
    static SimulatedUser Generate(const ShareCatalog& catalog, uint64_t seed, std::size_t number, Charset hubCharset);

    const std::string& Nick() const { return m_nick; }
    // The client ID the user shows on ADC hubs, in base32.
    const std::string& Cid() const { return m_cid; }
    const ReplyStyle& Style() const { return m_style; }
    int TotalSlots() const { return m_totalSlots; }
    // A passive client answers active searches by UDP but cannot answer passive ones.
    bool Passive() const { return m_passive; }
    std::size_t FileCount() const { return m_files.size(); }
    int64_t ShareBytes() const { return m_shareBytes; }

    // The $SR messages (each ending with "|") this user sends for a search: folders first, then files.
    // matcher reads the search in this user's character set (Style().charset).
    std::vector<std::string> Answer(const SearchMatcher& matcher, const ShareCatalog& catalog, std::string_view hubName,
                                    std::string_view hubAddress, int freeSlots) const;
    // What the user shares that answers a search, at most MaxResults: folders first, then files.
    std::vector<SharedMatch> Find(const SearchMatcher& matcher, const ShareCatalog& catalog) const;
    // The same answers on an ADC hub, where every client speaks UTF-8: the parameters of each RES (FN, SI, SL, TR
    // and TO), without the header that the way it travels decides.
    std::vector<std::string> AdcAnswer(const SearchMatcher& matcher, const ShareCatalog& catalog, int freeSlots,
                                       std::string_view token) const;
    // Free slots at the moment of an answer: anything from 0 to the total, 0 more often than the rest.
    int DrawFreeSlots(Rng& rng) const;
    std::string MyInfo() const;
    // The BINF that introduces the user on an ADC hub under sid.
    std::string AdcInfo(std::string_view sid) const;

private:
    std::string m_nick;
    std::string m_cid;
    ReplyStyle m_style;
    int m_totalSlots = 1;
    bool m_passive = false;
    std::vector<uint32_t> m_files;    // indices into the catalog, ascending
    std::vector<uint32_t> m_folders;  // every folder holding a shared file, and their parents, ascending
    int64_t m_shareBytes = 0;
};
