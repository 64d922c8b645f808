#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

// One hub of the list. Owned by the queue, host text included; workers only read it.
struct HubEntry {
    std::string_view Host;
    int32_t Port = 0;
    HubEntry* next = nullptr;
};

// The hubs of the loaded list in file order, handed out once per run to concurrent workers.
// AddHub, Rewind and destruction run on the GUI thread while no worker uses the queue; NextHub from any thread.
// Entries and host texts live in blocks owned by the queue (a hundred thousand hubs cost about 60 bytes each).
class HubQueue {
public:
    HubQueue() = default;
    HubQueue(const HubQueue&) = delete;
    HubQueue& operator=(const HubQueue&) = delete;

    void AddHub(std::string_view host, int32_t port);
    void Rewind();
    // The next entry of this run, or nullptr when every entry has been handed out. Thread-safe.
    const HubEntry* NextHub();
    // Entries not yet handed out in this run; an unlocked read is only a hint.
    int32_t Remaining() const;
    int32_t Count() const { return m_count; }

private:
    std::string_view StoreHost(std::string_view host);

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
};
