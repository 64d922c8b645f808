#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/text/hub_encoding.h"

// One hub of the list. Owned by the queue, host text included; workers only read it.
struct HubEntry {
    std::string_view Host;
    int32_t Port = 0;
    HubEntry* next = nullptr;
    // From the list's Encoding attribute; shared by the hubs that name the same one, owned by the queue.
    const HubEncoding* Encoding = nullptr;
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
    void AddHub(std::string_view host, int32_t port, std::string_view encodingName = {});
    void Rewind();
    // The next entry of this run, or nullptr when every entry has been handed out. Thread-safe.
    const HubEntry* NextHub();
    // Entries not yet handed out in this run; an unlocked read is only a hint.
    int32_t Remaining() const;
    int32_t Count() const { return m_count; }

private:
    std::string_view StoreHost(std::string_view host);
    const HubEncoding* EncodingNamed(std::string_view encodingName);

    HubEntry* Cursor = nullptr;
    HubEntry* Head = nullptr;
    HubEntry* Tail = nullptr;
    mutable std::mutex QueueLock;
    int32_t m_remaining = 0;
    int32_t m_count = 0;
    std::deque<HubEntry> m_entries;
    std::vector<std::unique_ptr<char[]>> m_hostBlocks;
    std::size_t m_hostBlockUsed = 0;
    std::vector<std::unique_ptr<char[]>> m_longHosts;
    // Each distinct Encoding spelling of the list with what it names; a list uses a handful.
    std::deque<std::pair<std::string, HubEncoding>> m_encodings;
};
