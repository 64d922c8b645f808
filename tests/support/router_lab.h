#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "support/stun_responder.h"
#include "support/temp_dir.h"

// A home network on Linux network namespaces that the lab creates and deletes: "home" (this machine, 10.77.1.2)
// behind "router" (LAN 10.77.1.1, outside 10.77.2.1, nftables masquerade and a forwarding filter that lets in only
// what miniupnpd forwards) and "internet" (10.77.2.2 and 10.77.2.3, with the STUN server that miniupnpd asks before
// it accepts a private outside address). Debian's miniupnpd is the router's mapping service. Needs root; nothing
// outside the lab's namespaces is touched, and every wait is bounded.
class RouterLab {
public:
    enum class Side { Home, Router, Internet };
    struct Services {
        bool upnp = true;
        bool natPmp = true;
    };

    static constexpr char HomeAddress[] = "10.77.1.2";
    static constexpr char RouterLanAddress[] = "10.77.1.1";
    static constexpr char RouterOutsideAddress[] = "10.77.2.1";
    static constexpr char InternetAddress[] = "10.77.2.2";
    static constexpr char InternetSecondAddress[] = "10.77.2.3";

    // Why no lab can be built here (not root, a tool missing); empty when one can.
    static std::string Unavailable();

    // Builds the namespaces, links, addresses and rules; Error() says what failed.
    RouterLab();
    // Stops the mapping service and deletes the namespaces.
    ~RouterLab();
    RouterLab(const RouterLab&) = delete;
    RouterLab& operator=(const RouterLab&) = delete;

    const std::string& Error() const { return m_error; }

    // Starts miniupnpd with the services and waits until it listens; the error text (with its log) on failure.
    std::string StartRouterService(Services services);
    void StopRouterService();
    std::string RouterServiceLog() const;
    // Makes the router drop SSDP and NAT-PMP queries from the LAN without a word, as many routers without these
    // services do (instead of refusing them); the error text on failure.
    std::string SilenceRouter();

    // Runs fn on the calling thread inside side's namespace; false when it cannot enter it. Sockets fn creates
    // stay there whichever thread uses them later, and threads it starts stay there too. libnatpmp reads the
    // default gateway from /proc/self/net, which shows the main thread's namespace: a mapper that finds the
    // gateway itself runs from the main thread inside Side::Home.
    bool RunIn(Side side, const std::function<void()>& fn) const;
    // A UDP socket bound to address:port inside side's namespace (port 0: any); -1 on failure.
    int UdpSocket(Side side, const std::string& address, uint16_t port) const;

private:
    std::string Name(Side side) const;
    std::string Build();
    std::string StartStun();
    // A socket at home that hears the router's SSDP announcements; -1 on failure.
    int SsdpListener() const;
    void CollectRouterOutput(int pipe);

    const std::string m_prefix;
    TempDir m_dir;  // miniupnpd's configuration, lease file and sockets, and the nftables rules
    std::string m_error;
    std::unique_ptr<StunResponder> m_stun;

    pid_t m_routerPid = -1;
    mutable std::mutex m_mutex;
    std::condition_variable m_outputCame;
    std::string m_routerOutput;
    bool m_routerOutputClosed = true;
    std::thread m_outputReader;
};
