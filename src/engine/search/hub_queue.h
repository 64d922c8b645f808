#pragma once

#include <array>
#include <cstdint>
#include <deque>
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
    void AddHub(std::string_view host, int32_t port, std::string_view encodingName = {},
                HubProtocol protocol = HubProtocol::Nmdc, std::string_view keyprint = {});
    void Rewind();
    // The next entry of this run, or nullptr when every entry has been handed out. Thread-safe.
    const HubEntry* NextHub();
    // Entries not yet handed out in this run; an unlocked read is only a hint.
    int32_t Remaining() const;
    int32_t Count() const { return m_count; }
    // Entries of one protocol, for the hub count's breakdown.
    int32_t CountOf(HubProtocol protocol) const { return m_protocolCounts[static_cast<std::size_t>(protocol)]; }

private:
    std::string_view StoreHost(std::string_view host);
    const HubEncoding* EncodingNamed(std::string_view encodingName);

    HubEntry* Cursor = nullptr;
    HubEntry* Head = nullptr;
    HubEntry* Tail = nullptr;
    mutable std::mutex QueueLock;
    int32_t m_remaining = 0;
    int32_t m_count = 0;
    std::array<int32_t, 4> m_protocolCounts{};
    std::deque<HubEntry> m_entries;
    std::vector<std::unique_ptr<char[]>> m_hostBlocks;
    std::size_t m_hostBlockUsed = 0;
    std::vector<std::unique_ptr<char[]>> m_longHosts;
    // Each distinct Encoding spelling of the list with what it names; a list uses a handful.
    std::deque<std::pair<std::string, HubEncoding>> m_encodings;
};
