#include "simulated_user.h"

#include <algorithm>
#include <set>

#include "engine/adc/adc_text.h"
#include "engine/adc/base32.h"
#include "engine/adc/tiger_hash.h"

namespace {

const std::vector<std::string>& NickStems() {
    static const std::vector<std::string> stems{
        "anna",    "Bjorn",  "cosmo",  "DarkStar", "eagle", "Fixer", "ghost",   "hobbit", "Iceman",   "jazzfan",
        "kat",     "Lurker", "mango",  "nomad",    "Orbit", "pixel", "Quasar",  "rover",  "Sasha",    "tux",
        "Ulysses", "vinyl",  "Wombat", "xeno",     "yeti",  "Zed",   "leecher", "seeder", "oldtimer", "moth"};
    return stems;
}

std::string Slots(int freeSlots, int totalSlots) {
    return std::to_string(freeSlots) + "/" + std::to_string(totalSlots);
}

// A catalog path ("\"-separated) as ADC names it: "/"-separated from the share's root, folders ending with "/".
std::string AdcPath(std::string_view path, bool folder) {
    std::string named = "/" + std::string(path) + (folder ? "/" : "");
    for (char& c : named) {
        if (c == '\\') c = '/';
    }
    return named;
}

}  // namespace

SimulatedUser SimulatedUser::Generate(const ShareCatalog& catalog, uint64_t seed, std::size_t number,
                                      Charset hubCharset) {
    Rng rng(Rng::Mix(seed, "user" + std::to_string(number)));
    SimulatedUser user;
    // The number keeps nicks unique across the network; the separators vary as real nicks do.
    static const std::vector<std::string> joins{"", "_", "-", "[", "."};
    const std::string join = rng.Pick(joins);
    user.m_nick = rng.Pick(NickStems()) + join + std::to_string(number) + (join == "[" ? "]" : "");
    // Unique as the nick is; a real client's CID is the hash of a random private ID.
    const std::string pid = "testnet user " + std::to_string(seed) + " " + std::to_string(number);
    user.m_cid = Base32Encode(TigerHash(std::vector<uint8_t>(pid.begin(), pid.end())));
    // Clients on Linux send UTF-8 whatever the hub uses; the others speak the hub's character set.
    const bool linuxClient = Rng(Rng::Mix(seed, "linux" + std::to_string(number))).Chance(0.25);
    user.m_style.charset = linuxClient ? Charset::Utf8 : hubCharset;
    user.m_style.leadingBackslash = rng.Chance(0.2);
    user.m_style.folderTthPlaceholder = rng.Chance(0.3);
    user.m_style.packsDatagrams = rng.Chance(0.4);
    user.m_totalSlots = static_cast<int>(rng.Between(1, 12));
    // A draw of its own, so that the users' other traits stay as the seed made them before modes existed.
    user.m_passive = Rng(Rng::Mix(seed, "mode" + std::to_string(number))).Chance(0.25);

    // Users share whole folders, and the popular ones more often.
    const EncodedCatalog& names = catalog.In(user.m_style.charset);
    std::vector<std::vector<uint32_t>> filesByFolder(catalog.Folders().size());
    for (uint32_t i = 0; i < catalog.Files().size(); ++i) {
        if (!names.filePaths[i].empty()) filesByFolder[catalog.Files()[i].folder].push_back(i);
    }
    std::vector<uint32_t> folders;
    for (uint32_t i = 0; i < filesByFolder.size(); ++i) {
        if (!filesByFolder[i].empty()) folders.push_back(i);
    }
    // Popularity is one seeded order of the folders, the same for every user, so that every kind of file has its
    // popular folders.
    Rng popularity(Rng::Mix(seed, "popularity"));
    for (std::size_t i = folders.size(); i > 1; --i) std::swap(folders[i - 1], folders[popularity.Below(i)]);
    const auto target = static_cast<std::size_t>(rng.Between(30, 250));
    std::set<uint32_t> files;
    for (int attempt = 0; attempt < 200 && files.size() < target && !folders.empty(); ++attempt) {
        const auto pick = folders[rng.Below(rng.Below(folders.size()) + 1)];
        files.insert(filesByFolder[pick].begin(), filesByFolder[pick].end());
    }
    std::set<uint32_t> sharedFolders;
    for (const uint32_t file : files) {
        user.m_files.push_back(file);
        user.m_shareBytes += catalog.Files()[file].size;
        for (int folder = static_cast<int>(catalog.Files()[file].folder); folder >= 0;
             folder = catalog.Folders()[static_cast<std::size_t>(folder)].parent) {
            if (!sharedFolders.insert(static_cast<uint32_t>(folder)).second) break;
        }
    }
    user.m_folders.assign(sharedFolders.begin(), sharedFolders.end());
    return user;
}

std::vector<SharedMatch> SimulatedUser::Find(const SearchMatcher& matcher, const ShareCatalog& catalog) const {
    std::vector<SharedMatch> found;
    for (const uint32_t folder : m_folders) {
        if (found.size() >= MaxResults) return found;
        if (matcher.MatchesFolder(catalog.LoweredFolderNames()[folder])) found.push_back({true, folder});
    }
    for (const uint32_t index : m_files) {
        if (found.size() >= MaxResults) return found;
        const CatalogFile& file = catalog.Files()[index];
        if (matcher.MatchesFile(catalog.LoweredFilePaths()[index], file.type, file.size, file.tth))
            found.push_back({false, index});
    }
    return found;
}

std::vector<std::string> SimulatedUser::Answer(const SearchMatcher& matcher, const ShareCatalog& catalog,
                                               std::string_view hubName, std::string_view hubAddress,
                                               int freeSlots) const {
    const EncodedCatalog& names = catalog.In(m_style.charset);
    const std::string root = m_style.leadingBackslash ? "\\" : "";
    const std::string slots = Slots(freeSlots, m_totalSlots);
    const std::string hubPart = " (" + std::string(hubAddress) + ")|";
    std::vector<std::string> results;
    for (const SharedMatch& match : Find(matcher, catalog)) {
        std::string result = "$SR " + m_nick + " " + root;
        if (match.folder) {
            result += names.folderPaths[match.index];
            result += " " + slots + "\x05";
            result += m_style.folderTthPlaceholder ? "TTH:" + std::string(39, 'A') : std::string(hubName);
        } else {
            const CatalogFile& file = catalog.Files()[match.index];
            result += names.filePaths[match.index];
            result += "\x05" + std::to_string(file.size) + " " + slots;
            result += "\x05TTH:" + file.tth;
        }
        results.push_back(result + hubPart);
    }
    return results;
}

std::vector<std::string> SimulatedUser::AdcAnswer(const SearchMatcher& matcher, const ShareCatalog& catalog,
                                                  int freeSlots, std::string_view token) const {
    const EncodedCatalog& names = catalog.In(Charset::Utf8);
    const std::string tail = " SL" + std::to_string(freeSlots) + " TO" + std::string(token);
    std::vector<std::string> results;
    for (const SharedMatch& match : Find(matcher, catalog)) {
        if (match.folder) {
            results.push_back("FN" + AdcEscape(AdcPath(names.folderPaths[match.index], true)) + tail);
            continue;
        }
        const CatalogFile& file = catalog.Files()[match.index];
        results.push_back("FN" + AdcEscape(AdcPath(names.filePaths[match.index], false)) + " SI" +
                          std::to_string(file.size) + " TR" + file.tth + tail);
    }
    return results;
}

int SimulatedUser::DrawFreeSlots(Rng& rng) const {
    if (rng.Chance(0.25)) return 0;
    return static_cast<int>(rng.Between(0, m_totalSlots));
}

std::string SimulatedUser::MyInfo() const {
    return "$MyINFO $ALL " + m_nick + " <++ V:0.868,M:" + (m_passive ? "P" : "A") +
           ",H:1/0/0,S:" + std::to_string(m_totalSlots) + ">$ $100\x01$$" + std::to_string(m_shareBytes) + "$";
}

std::string SimulatedUser::AdcInfo(std::string_view sid) const {
    return "BINF " + std::string(sid) + " ID" + m_cid + " NI" + AdcEscape(m_nick) + " SL" +
           std::to_string(m_totalSlots) + " SS" + std::to_string(m_shareBytes) + " SF" +
           std::to_string(m_files.size()) + "\n";
}
