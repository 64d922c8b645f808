#include <cstdio>
#include <iostream>

#include "event_loop.h"
#include "network_plan.h"
#include "test_network.h"
#include "testnet_options.h"

int main(int argc, char** argv) {
    const auto parsed = TestnetOptions::Parse(argc, argv);
    if (!parsed.options) {
        std::cerr << "hubsift-testnet: " << parsed.error << "\n" << TestnetOptions::Usage();
        return 2;
    }
    const TestnetOptions& options = *parsed.options;
    if (options.help) {
        std::cout << TestnetOptions::Usage();
        return 0;
    }
    const NetworkPlan plan = NetworkPlan::Build(options.plan);
    if (options.count) {
        std::cout << plan.CountResults(*options.count) << "\n";
        return 0;
    }
    EventLoop loop;
    if (!loop.Ok() || !loop.StopOnSignals()) {
        std::cerr << "hubsift-testnet: cannot set up the event loop\n";
        return 1;
    }
    auto started = TestNetwork::Start(loop, plan, options.network);
    if (!started.network) {
        std::cerr << "hubsift-testnet: " << started.error << "\n";
        return 1;
    }
    const auto& ports = started.network->HubPorts();
    std::cout << "hubs: " << ports.size() << " on 127.0.0.1 ports " << ports.front() << "-" << ports.back()
              << ", users per hub: " << options.plan.usersPerHub << ", seed: " << options.plan.seed << "\n";
    std::cout << "hublist: " << started.network->HublistUrl() << std::endl;
    if (options.exitAfterSeconds > 0)
        loop.After(std::chrono::seconds(options.exitAfterSeconds), [&loop] { loop.Stop(); });
    loop.Run();
    return 0;
}
