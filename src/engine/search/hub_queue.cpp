#include "engine/search/hub_queue.h"

#include <cstring>

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
                      std::string_view keyprint) {
    HubEntry& entry = m_entries.emplace_back(
        HubEntry{StoreHost(host), port, nullptr, EncodingNamed(encodingName), protocol, StoreHost(keyprint)});
    ++m_protocolCounts[static_cast<std::size_t>(protocol)];
    std::lock_guard lock(QueueLock);
    if (Head == nullptr) {
        Head = Tail = Cursor = &entry;
    } else {
        Tail->next = &entry;
        Tail = &entry;
    }
    ++m_count;
    m_remaining = m_count;
}

void HubQueue::Rewind() {
    std::lock_guard lock(QueueLock);
    Cursor = Head;
    m_remaining = m_count;
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
