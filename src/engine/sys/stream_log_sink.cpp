#include "engine/sys/stream_log_sink.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

void AppendPrintable(std::string& line, std::string_view message) {
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            line += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        line += escaped;
    }
}

}  // namespace

StreamLogSink::StreamLogSink(int fd, std::size_t capacity)
    : m_fd(fd), m_capacity(capacity), m_writer([this] { Drain(); }) {}

StreamLogSink::~StreamLogSink() {
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_queued.notify_one();
    m_writer.join();
}

void StreamLogSink::Write(LogLevel level, std::string_view message) {
    std::string line = TimeStamp() + " " + LogLevelName(level) + ": ";
    AppendPrintable(line, message);
    line += '\n';
    {
        std::lock_guard guard(m_lock);
        if (m_lines.size() >= m_capacity) {
            ++m_dropped;
            return;
        }
        m_lines.push_back(std::move(line));
    }
    m_queued.notify_one();
}

void StreamLogSink::Drain() {
    std::unique_lock lock(m_lock);
    while (true) {
        m_queued.wait(lock, [this] { return m_stopping || !m_lines.empty() || m_dropped != 0; });
        if (m_lines.empty() && m_dropped == 0) return;
        // Lines are dropped only while the queue is full, so they all came after the queued ones.
        std::string text;
        for (const std::string& line : m_lines) text += line;
        if (m_dropped != 0) text += TimeStamp() + " warning: " + std::to_string(m_dropped) + " log lines dropped\n";
        m_lines.clear();
        m_dropped = 0;
        lock.unlock();
        WriteOut(text);
        lock.lock();
    }
}

void StreamLogSink::WriteOut(const std::string& text) const {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(m_fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}
