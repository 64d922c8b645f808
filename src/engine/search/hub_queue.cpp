#include "engine/search/hub_queue.h"

#include <algorithm>
#include <cstring>

#include "engine/search/hub_outcome.h"

namespace {

constexpr std::size_t kHostBlockSize = std::size_t{64} * 1024;

}  // namespace

std::string_view HubQueue::StoreHost(std::string_view host) {
    if (host.empty()) return {};
    char* target = nullptr;
    if (host.size() > kHostBlockSize / 4) {
        // A long host gets a block of its own, so the shared block is not wasted.
        target = m_longHosts.emplace_back(std::make_unique<char[]>(host.size())).get();
    } else {
        if (m_hostBlocks.empty() || host.size() > kHostBlockSize - m_hostBlockUsed) {
            m_hostBlocks.push_back(std::make_unique<char[]>(kHostBlockSize));
            m_hostBlockUsed = 0;
        }
        target = m_hostBlocks.back().get() + m_hostBlockUsed;
        m_hostBlockUsed += host.size();
    }
    std::memcpy(target, host.data(), host.size());
    return {target, host.size()};
}

const HubEncoding* HubQueue::EncodingNamed(std::string_view encodingName) {
    for (const auto& [name, encoding] : m_encodings)
        if (name == encodingName) return &encoding;
    return &m_encodings.emplace_back(std::string(encodingName), HubEncoding::FromListName(encodingName)).second;
}

void HubQueue::AddHub(std::string_view host, int32_t port, std::string_view encodingName, HubProtocol protocol,
                      std::string_view keyprint, std::string_view name, int32_t users) {
    HubEntry& entry = m_entries.emplace_back(HubEntry{StoreHost(host),
                                                      port,
                                                      nullptr,
                                                      EncodingNamed(encodingName),
                                                      protocol,
                                                      StoreHost(keyprint),
                                                      StoreHost(name),
                                                      users,
                                                      {},
                                                      false});
    ++m_protocolCounts[static_cast<std::size_t>(protocol)];
    Link(entry);
    std::lock_guard lock(QueueLock);
    m_listedTail = &entry;
    m_listedCount = m_count;
    m_remaining = m_count;
}

void HubQueue::Link(HubEntry& entry) {
    std::lock_guard lock(QueueLock);
    if (Head == nullptr) {
        Head = Tail = &entry;
    } else {
        Tail->next = &entry;
        Tail = &entry;
    }
    // Every entry before it handed out: it is the next.
    if (Cursor == nullptr) Cursor = &entry;
    ++m_count;
    ++m_remaining;
}

void HubQueue::Rewind() {
    std::lock_guard lock(QueueLock);
    if (m_count > m_listedCount) {
        // Redirect targets come after the last listed hub in the list and in the store.
        m_entries.resize(static_cast<std::size_t>(m_listedCount));
        m_runTexts.clear();
        Tail = m_listedTail;
        if (Tail != nullptr) Tail->next = nullptr;
        m_count = m_listedCount;
    }
    Cursor = Head;
    m_remaining = m_count;
}

void HubQueue::Arrange(const std::function<HubPlacement(const HubEntry&)>& place) {
    std::vector<std::pair<int, HubEntry*>> ranked;
    ranked.reserve(m_entries.size());
    for (HubEntry& entry : m_entries) {
        const HubPlacement placement = place(entry);
        entry.SkipTooSoon = placement.skipTooSoon;
        ranked.emplace_back(placement.rank, &entry);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::lock_guard lock(QueueLock);
    HubEntry* previous = nullptr;
    for (const auto& [rank, entry] : ranked) {
        if (previous == nullptr)
            Head = entry;
        else
            previous->next = entry;
        previous = entry;
    }
    Tail = m_listedTail = previous;
    if (Tail != nullptr) Tail->next = nullptr;
    Cursor = Head;
}

const HubEntry* HubQueue::FindListed(std::string_view host, int32_t port) const {
    for (std::size_t i = 0; i < static_cast<std::size_t>(m_listedCount); ++i)
        if (m_entries[i].Port == port && m_entries[i].Host == host) return &m_entries[i];
    return nullptr;
}

bool HubQueue::AddRedirectTarget(const HubEntry& from, std::string_view host, int32_t port, HubProtocol protocol,
                                 std::string_view keyprint) {
    if (!from.RedirectedFrom.empty()) return false;
    for (const HubEntry& entry : m_entries)
        if (entry.Port == port && entry.Host == host) return false;
    const std::string_view storedHost = m_runTexts.emplace_back(host);
    const std::string_view origin = m_runTexts.emplace_back(HubListAddress(from.Host, from.Port));
    const std::string_view storedKeyprint = m_runTexts.emplace_back(keyprint);
    Link(m_entries.emplace_back(
        HubEntry{storedHost, port, nullptr, from.Encoding, protocol, storedKeyprint, {}, -1, origin, false}));
    return true;
}

const HubEntry* HubQueue::NextHub() {
    std::lock_guard lock(QueueLock);
    if (m_remaining <= 0 || Cursor == nullptr) return nullptr;
    HubEntry* entry = Cursor;
    Cursor = entry->next;
    --m_remaining;
    return entry;
}

int32_t HubQueue::Remaining() const {
    std::lock_guard lock(QueueLock);
    return m_remaining;
}
