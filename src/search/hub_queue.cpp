#include "search/hub_queue.h"

TMyQueue::~TMyQueue() {
    HubEntry* entry = Head;
    while (entry != nullptr) {
        HubEntry* next = entry->next;
        delete entry;
        entry = next;
    }
}

void TMyQueue::AddHub(const std::string& host, int32_t port) {
    auto* entry = new HubEntry{host, port, nullptr};
    std::lock_guard lock(QueueLock);
    if (Head == nullptr) {
        Head = Tail = Cursor = entry;
    } else {
        Tail->next = entry;
        Tail = entry;
    }
    ++m_count;
    m_remaining = m_count;
}

void TMyQueue::Rewind() {
    std::lock_guard lock(QueueLock);
    Cursor = Head;
    m_remaining = m_count;
}

const HubEntry* TMyQueue::NextHub() {
    std::lock_guard lock(QueueLock);
    if (m_remaining <= 0 || Cursor == nullptr) return nullptr;
    HubEntry* entry = Cursor;
    Cursor = entry->next;
    --m_remaining;
    return entry;
}

bool TMyQueue::AtEnd() const {
    std::lock_guard lock(QueueLock);
    return Cursor == nullptr;
}

int32_t TMyQueue::Remaining() const {
    std::lock_guard lock(QueueLock);
    return m_remaining;
}
