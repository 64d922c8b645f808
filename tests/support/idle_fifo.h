#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

// A FIFO that no one writes to, in place of a file: a plain open for reading waits for a writer that never comes.
class IdleFifo {
public:
    explicit IdleFifo(std::string path) : m_path(std::move(path)) { m_made = mkfifo(m_path.c_str(), 0644) == 0; }
    bool Made() const { return m_made; }

    // Runs read on a thread of its own: true when it returned within a few seconds. A read stuck on the FIFO is
    // released afterwards (a writer comes and goes), so that the test ends either way.
    bool ReadReturns(const std::function<void()>& read) const {
        using namespace std::chrono_literals;
        std::promise<void> done;
        const std::future<void> returned = done.get_future();
        std::thread reader([&] {
            read();
            done.set_value();
        });
        const bool quick = returned.wait_for(5s) == std::future_status::ready;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (returned.wait_for(10ms) != std::future_status::ready && std::chrono::steady_clock::now() < deadline) {
            const int fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) close(fd);
        }
        reader.join();
        return quick;
    }

private:
    std::string m_path;
    bool m_made = false;
};
