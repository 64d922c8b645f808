#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "engine/sys/log.h"

// Writes log lines, stamped with the local time and level, to a file descriptor (the program's stderr) from a
// thread of its own. Write only appends to a bounded queue under a brief lock, so no worker ever waits for a slow
// terminal or a full pipe: when the queue is full the line is dropped and counted, and the count is written in
// the dropped lines' place. Control bytes (hub text may hold terminal escapes) are written as
// \xNN.
class StreamLogSink final : public LogSink {
public:
    static constexpr std::size_t kDefaultCapacity = 4096;  // lines

    explicit StreamLogSink(int fd, std::size_t capacity = kDefaultCapacity);
    // Writes what is queued, then joins the writer. The descriptor stays open.
    ~StreamLogSink() override;
    StreamLogSink(const StreamLogSink&) = delete;
    StreamLogSink& operator=(const StreamLogSink&) = delete;

    void Write(LogLevel level, std::string_view message) override;

private:
    void Drain();
    void WriteOut(const std::string& text) const;

    const int m_fd;
    const std::size_t m_capacity;
    std::mutex m_lock;
    std::condition_variable m_queued;
    std::deque<std::string> m_lines;
    uint64_t m_dropped = 0;
    bool m_stopping = false;
    std::thread m_writer;
};
