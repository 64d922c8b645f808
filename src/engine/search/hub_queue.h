#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/text/hub_encoding.h"

// How a hub is spoken to, from its address's scheme.
enum class HubProtocol {
    Nmdc,     // dchub:// or no scheme
    NmdcTls,  // nmdcs://
    Adc,      // adc://
    AdcTls,   // adcs://
};

// One hub of the list. Owned by the queue, host text included; workers only read it.
struct HubEntry {
    std::string_view Host;
    int32_t Port = 0;
    HubEntry* next = nullptr;
    // From the list's Encoding attribute; shared by the hubs that name the same one, owned by the queue.
    const HubEncoding* Encoding = nullptr;
    HubProtocol Protocol = HubProtocol::Nmdc;
    // For the TLS protocols: "SHA256/<base32>" the certificate must match; empty: any certificate.
    std::string_view Keyprint;
    // From the list's Name and Users attributes, for the report; empty and -1 when the list gives none.
    std::string_view Name;
    int32_t Users = -1;
    // For a hub this run was redirected to: the "host:port" of the listed hub that sent us; empty for listed hubs.
    std::string_view RedirectedFrom;
    // Not contacted in this run: an earlier run searched it moments ago.
    bool SkipTooSoon = false;
};

// How a listed hub takes part in the next run.
struct HubPlacement {
    int rank = 0;  // lower ranks are handed out first; list order within a rank
    bool skipTooSoon = false;
};

// The hubs of the loaded list in file order, handed out once per run to concurrent workers.
// AddHub, Rewind and destruction run on the GUI thread while no worker uses the queue; NextHub from any thread.
// Entries and host texts live in blocks owned by the queue (a hundred thousand hubs cost about 60 bytes each).
class HubQueue {
public:
    HubQueue() = default;
    HubQueue(const HubQueue&) = delete;
    HubQueue& operator=(const HubQueue&) = delete;

    // encodingName is the list's Encoding attribute; empty or unknown: the locale's code page.
    // name and users are the list's, for the report.
    void AddHub(std::string_view host, int32_t port, std::string_view encodingName = {},
                HubProtocol protocol = HubProtocol::Nmdc, std::string_view keyprint = {}, std::string_view name = {},
                int32_t users = -1);
    // Rewinds to the listed hubs: the hubs added by AddRedirectTarget are dropped.
    void Rewind();
    // A listed hub's $ForceMove named host:port: appends it for this run only, with the listed hub's encoding, so
    // that a worker may take it at once. False, adding nothing, when host:port is already in the queue (a loop or a
    // listed hub) or from is not a listed hub (a chain). GUI thread, also during a run.
    bool AddRedirectTarget(const HubEntry& from, std::string_view host, int32_t port,
                           HubProtocol protocol = HubProtocol::Nmdc, std::string_view keyprint = {});
    // Orders the listed hubs by place(hub).rank and marks those to skip, from the next Rewind on. GUI thread, while no
    // run uses the queue; redirect targets must have been dropped (Rewind).
    void Arrange(const std::function<HubPlacement(const HubEntry&)>& place);
    // The listed hub at host:port, or null. GUI thread.
    const HubEntry* FindListed(std::string_view host, int32_t port) const;
    // The next entry of this run, or nullptr when every entry has been handed out. Thread-safe.
    const HubEntry* NextHub();
    // Entries not yet handed out in this run; an unlocked read is only a hint.
    int32_t Remaining() const;
    int32_t Count() const { return m_count; }
    // Entries of one protocol, for the hub count's breakdown.
    int32_t CountOf(HubProtocol protocol) const { return m_protocolCounts[static_cast<std::size_t>(protocol)]; }

private:
    // Copies a host or name text into the queue's blocks.
    std::string_view StoreHost(std::string_view host);
    void Link(HubEntry& entry);
    const HubEncoding* EncodingNamed(std::string_view encodingName);

    HubEntry* Cursor = nullptr;
    HubEntry* Head = nullptr;
    HubEntry* Tail = nullptr;
    mutable std::mutex QueueLock;
    int32_t m_remaining = 0;
    int32_t m_count = 0;
    std::array<int32_t, 4> m_protocolCounts{};
    int32_t m_listedCount = 0;
    HubEntry* m_listedTail = nullptr;
    // The texts of this run's redirect targets.
    std::deque<std::string> m_runTexts;
    std::deque<HubEntry> m_entries;
    std::vector<std::unique_ptr<char[]>> m_hostBlocks;
    std::size_t m_hostBlockUsed = 0;
    std::vector<std::unique_ptr<char[]>> m_longHosts;
    // Each distinct Encoding spelling of the list with what it names; a list uses a handful.
    std::deque<std::pair<std::string, HubEncoding>> m_encodings;
};
