#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "http_server.h"
#include "hub.h"
#include "network_plan.h"
#include "simulated_adc_hub.h"
#include "tls_server_context.h"
#include "udp_responder.h"

struct NetworkSettings {
    uint16_t basePort = 0;  // first hub port; 0 = free ports
    uint16_t httpPort = 0;  // 0 = a free port
    std::chrono::milliseconds latency{0};
};

// The running simulated network: one hub (NMDC or ADC, plain or over TLS with a certificate made at the start) per plan
// entry on consecutive loopback ports, each with its own latency on top of the settings' (a ClosedPort hub keeps its
// port bound but refuses connections, a Dead one answers none, an Unresolvable one is only listed), and the HTTP
// server with the hub list. Runs on the loop's thread; destroy it before the loop.
class TestNetwork {
public:
    struct StartResult {
        std::unique_ptr<TestNetwork> network;
        std::string error;
    };
    static StartResult Start(EventLoop& loop, const NetworkPlan& plan, const NetworkSettings& settings);
    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    static constexpr const char* HublistPath = "/hublist.xml.bz2";

    std::string HublistUrl() const;
    const std::string& HublistXml() const { return m_hublistXml; }
    // The port listed for each hub of the plan, in plan order.
    const std::vector<uint16_t>& HubPorts() const { return m_ports; }
    // The keyprint the hub list gives the TLS hubs ("SHA256/<base32>"), empty when no hub serves TLS.
    const std::string& TlsKeyprint() const { return m_keyprint; }

private:
    TestNetwork() = default;

    std::unique_ptr<UdpResponder> m_responder;
    std::unique_ptr<TlsServerContext> m_tls;  // only when a hub serves TLS
    std::vector<std::unique_ptr<Hub>> m_hubs;
    std::vector<std::unique_ptr<SimulatedAdcHub>> m_adcHubs;
    // Ports no hub serves (closed, unresolvable and dead hubs'), and the connections that fill the dead ones' queues.
    std::vector<int> m_unservedSockets;
    std::vector<uint16_t> m_ports;
    std::string m_keyprint;
    std::string m_hublistXml;
    std::unique_ptr<HttpServer> m_http;
};
