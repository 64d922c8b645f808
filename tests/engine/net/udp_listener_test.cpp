#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/net/udp_listener.h"
#include "support/fake_gui_thread.h"
#include "support/udp_test_sockets.h"

namespace {

using namespace std::chrono_literals;

// Batches as the handler saw them; the handler may be told to hold the first batch until released.
class Received {
public:
    void Add(const std::vector<std::string_view>& datagrams) {
        std::unique_lock lock(m_mutex);
        m_batches.emplace_back(datagrams.begin(), datagrams.end());
        m_changed.notify_all();
        if (m_batches.size() == 1 && m_holdFirst) m_changed.wait_for(lock, 5s, [&] { return m_released; });
    }
    void HoldFirst() { m_holdFirst = true; }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    bool WaitForDatagrams(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return Total() >= count; });
    }
    std::vector<std::vector<std::string>> Batches() {
        std::lock_guard lock(m_mutex);
        return m_batches;
    }

private:
    std::size_t Total() const {
        std::size_t total = 0;
        for (const auto& batch : m_batches) total += batch.size();
        return total;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::vector<std::string>> m_batches;
    bool m_holdFirst = false;
    bool m_released = false;
};

TEST(UdpListener, HandsWaitingDatagramsOverAsOneBatchAndDropsOversized) {
    FakeGuiThread gui;
    Received received;
    received.HoldFirst();
    UdpListener listener(gui, [&](const auto& datagrams) { received.Add(datagrams); });
    const int32_t port = FreeUdpPorts(1);
    ASSERT_TRUE(listener.Activate("127.0.0.1", port));
    UdpTestSocket sender;
    ASSERT_TRUE(sender.SendTo(port, "first"));
    ASSERT_TRUE(received.WaitForDatagrams(1));
    // While the GUI thread still works on the first batch, everything else piles up in the socket.
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        const std::string datagram = "$SR user file" + std::to_string(i) + "|";
        ASSERT_TRUE(sender.SendTo(port, datagram));
        expected.push_back(datagram);
        if (i == 10) {
            ASSERT_TRUE(sender.SendTo(port, std::string(UdpListener::MaxDatagramSize + 1, 'x')));
            ASSERT_TRUE(sender.SendTo(port, std::string(UdpListener::MaxDatagramSize, 'y')));
            expected.push_back(std::string(UdpListener::MaxDatagramSize, 'y'));
        }
    }
    received.Release();
    ASSERT_TRUE(received.WaitForDatagrams(1 + expected.size()));
    const auto batches = received.Batches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0], std::vector<std::string>{"first"});
    EXPECT_EQ(batches[1], expected);
}

TEST(UdpListener, WaitingDatagramsGoOverInBatchesOfBoundedBytes) {
    FakeGuiThread gui;
    Received received;
    received.HoldFirst();
    constexpr std::size_t kBatchBytes = UdpListener::MaxDatagramSize;
    UdpListener listener(
        gui, [&](const auto& datagrams) { received.Add(datagrams); }, kBatchBytes);
    const int32_t port = FreeUdpPorts(1);
    ASSERT_TRUE(listener.Activate("127.0.0.1", port));
    UdpTestSocket sender;
    ASSERT_TRUE(sender.SendTo(port, "first"));
    ASSERT_TRUE(received.WaitForDatagrams(1));
    std::vector<std::string> sent;
    for (std::size_t size : {3000, 3000, 3000, 8192, 1, 5000}) {
        sent.emplace_back(size, static_cast<char>('a' + sent.size()));
        ASSERT_TRUE(sender.SendTo(port, sent.back()));
    }
    received.Release();
    ASSERT_TRUE(received.WaitForDatagrams(1 + sent.size()));
    const auto batches = received.Batches();
    std::vector<std::string> got;
    for (std::size_t i = 1; i < batches.size(); ++i) {
        std::size_t bytes = 0;
        for (const std::string& datagram : batches[i]) bytes += datagram.size();
        EXPECT_LE(bytes, kBatchBytes) << "batch " << i;
        got.insert(got.end(), batches[i].begin(), batches[i].end());
    }
    EXPECT_EQ(got, sent);
    EXPECT_EQ(batches.size(), 5u) << "3000+3000, 3000, 8192, 1+5000";
}

TEST(UdpListener, DeactivateFromInsideTheHandlerFreesThePortAtOnce) {
    FakeGuiThread gui;
    Received received;
    UdpListener* self = nullptr;
    UdpListener listener(gui, [&](const auto& datagrams) {
        self->Deactivate();
        received.Add(datagrams);
    });
    self = &listener;
    const int32_t port = FreeUdpPorts(1);
    ASSERT_TRUE(listener.Activate("127.0.0.1", port));
    UdpTestSocket sender;
    ASSERT_TRUE(sender.SendTo(port, "one"));
    ASSERT_TRUE(received.WaitForDatagrams(1));
    gui.RunAndWait([&] {
        EXPECT_FALSE(listener.Active());
        EXPECT_TRUE(UdpTestSocket().Bind(port));
        EXPECT_TRUE(listener.Activate("127.0.0.1", port));
        listener.Deactivate();
    });
    EXPECT_EQ(received.Batches().size(), 1u);
}

TEST(UdpListener, NoHandlerCallAfterDeactivateWhileWaitingForTheGuiThread) {
    FakeGuiThread gui;
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    int calls = 0;
    UdpListener listener(gui, [&](const auto&) { ++calls; });
    const int32_t port = FreeUdpPorts(1);
    ASSERT_TRUE(listener.Activate("127.0.0.1", port));
    std::thread busy([&] {
        gui.RunAndWait([&] {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, 5s, [&] { return release; });
        });
    });
    UdpTestSocket sender;
    ASSERT_TRUE(sender.SendTo(port, "late"));
    // The receiving thread now heads for the busy GUI thread; the stop must not wait for it.
    listener.Deactivate();
    EXPECT_TRUE(UdpTestSocket().Bind(port));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    busy.join();
    gui.RunAndWait([] {});
    EXPECT_EQ(calls, 0);
}

TEST(UdpListener, ActivationFailsWhenNothingCanBeBound) {
    FakeGuiThread gui;
    UdpListener listener(gui, [](const auto&) {});
    const int32_t port = FreeUdpPorts(1);
    UdpTestSocket busy;
    ASSERT_TRUE(busy.Bind(port));
    for (const std::string ip : {"127.0.0.1", "192.0.2.1", "not an address", ""})
        EXPECT_FALSE(listener.Activate(ip, port == 0 ? 1 : port)) << ip;
    EXPECT_FALSE(listener.Active());
}

TEST(UdpListener, EndsQuietlyWhenTheGuiThreadHasClosed) {
    FakeGuiThread gui;
    int calls = 0;
    UdpListener listener(gui, [&](const auto&) { ++calls; });
    const int32_t port = FreeUdpPorts(1);
    ASSERT_TRUE(listener.Activate("127.0.0.1", port));
    gui.Close();
    UdpTestSocket sender;
    ASSERT_TRUE(sender.SendTo(port, "after close"));
    listener.Deactivate();
    EXPECT_EQ(calls, 0);
}

}  // namespace
