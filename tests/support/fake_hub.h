#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

// How one fake NMDC hub plays its part.
struct FakeHubBehaviour {
    enum class NickAnswer {
        Hello,        // "$Hello " + nick (after another user's $Hello when otherUserFirst)
        Refuse,       // $ValidateDenide, then silence
        AskPassword,  // $GetPass, then silence
        Full,         // $HubIsFull, then closes
        Banned,       // $BadPass, then silence
        Redirect,     // "$ForceMove " + redirectTo, then silence
        Silent,       // nothing at all
        Trickle,      // a chat line every trickleInterval, forever, never $Hello
    };

    std::string lock = "FakeHubLockText";  // begin it with EXTENDEDPROTOCOL for an extended hub
    NickAnswer nickAnswer = NickAnswer::Hello;
    bool otherUserFirst = false;
    std::string redirectTo;  // for NickAnswer::Redirect
    std::string chat;        // a chat line ("<HubBot> …", without "|") sent just before the answer to $ValidateNick
    bool closeBeforeLock = false;
    bool closeAfterLock = false;
    bool closeOnMyInfo = false;
    bool longLine = false;                          // a line of more than 16384 bytes right after the lock
    std::chrono::milliseconds answerDelay{0};       // before each answer
    std::chrono::milliseconds trickleInterval{20};  // 0: a flood of lines that never pauses
    // Closes after $MyINFO when the lock was extended and the client sent no $Supports.
    bool requireSupports = false;
    // Closes silently on a wrong $Key, ignores a $Search that comes before it has echoed the client's $MyINFO,
    // forwards searches in batches every forwardInterval and drops those of clients that have left.
    bool strict = false;
    std::chrono::milliseconds forwardInterval{1400};
    // Sent as "$UserIP <nick> <userIp>$$" right after $Hello to a client that lists UserIP2; empty: never.
    std::string userIp;
    // $SR lines (without "|") of the hub's active users, relayed to a client that searches passively.
    std::vector<std::string> passiveAnswers;
};

// Many fake hubs on 127.0.0.1 served by one epoll thread. Records every byte each client sent, per connection,
// and the searches each hub would pass on to its users. All methods are thread-safe.
class FakeHubServer {
public:
    FakeHubServer();
    ~FakeHubServer();
    FakeHubServer(const FakeHubServer&) = delete;
    FakeHubServer& operator=(const FakeHubServer&) = delete;

    // Listens on a new port of address (one of a namespace the test made, when the calling thread is inside it);
    // returns the hub's index.
    int AddHub(const FakeHubBehaviour& behaviour, const std::string& address = "127.0.0.1");
    uint16_t Port(int hub) const;
    // Every byte received, one string per connection in accept order.
    std::vector<std::string> Received(int hub) const;
    // $Search lines (without "|") passed on to other users, and those ignored by a strict hub.
    std::vector<std::string> Forwarded(int hub) const;
    std::vector<std::string> Ignored(int hub) const;
    int OpenConnections(int hub) const;
    // Closes every open connection of the hub, as a hub that drops its users.
    void CloseConnections(int hub);
    // Waits until condition holds (it is re-checked at every change and at least every 50 ms).
    bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Hub;
    struct Connection;
    struct Action {
        Clock::time_point when;
        uint64_t order;
        std::function<void()> run;
        bool operator>(const Action& other) const {
            return when != other.when ? when > other.when : order > other.order;
        }
    };

    void Loop();
    void Accept(int hubIndex);
    void Receive(uint64_t id);
    void Handle(Connection& connection, const std::string& message);
    void Later(std::chrono::milliseconds delay, std::function<void()> run);
    void Send(uint64_t id, const std::string& bytes);
    void Flush(Connection& connection);
    void Close(uint64_t id);
    void Forward(int hubIndex);
    void Trickle(uint64_t id);
    void Changed();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    uint64_t m_changes = 0;
    int m_epoll = -1;
    int m_wakeFd = -1;
    bool m_quit = false;
    std::vector<std::unique_ptr<Hub>> m_hubs;
    std::map<uint64_t, std::unique_ptr<Connection>> m_connections;
    uint64_t m_nextConnection = 1;
    uint64_t m_nextOrder = 0;
    std::priority_queue<Action, std::vector<Action>, std::greater<>> m_actions;
    std::thread m_thread;
};
