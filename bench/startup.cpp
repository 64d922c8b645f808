// Start-up time to the first shown main window, and memory once idle, on a fresh private data folder
// (the first-start path: main window plus Settings dialog). Run offscreen or under a display.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "engine/net/port_mapper.h"
#include "ui/app/hubsift_program.h"
#include "ui/app/main_window.h"
#include "ui/support/message_box.h"

namespace {

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

// --router: the home router is looked for meanwhile, as the program does; at loopback ports where nothing answers,
// so that the figure does not depend on the routers of the network the benchmark runs in.
std::optional<PortMapperConfig> RouterSearch(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--router") continue;
        PortMapperConfig config;
        config.UpnpDescriptionUrl = "http://127.0.0.1:9/rootDesc.xml";
        config.NatPmpGateway = "127.0.0.1:9";
        return config;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    char folder[] = "/tmp/hubsift-startup-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    setenv("XDG_DATA_HOME", folder, 1);
    QApplication app(argc, argv);
    SetMessageBoxHook([](const std::string&, MessageIcon) {});
    HubsiftProgram program(std::nullopt, RouterSearch(argc, argv));
    if (!program.Start()) return 1;
    if (!QTest::qWaitForWindowExposed(program.GetMainWindow(), 5000)) return 1;
    const qint64 shownMs = clock.elapsed();
    QTest::qWait(1000);  // idle: timers tick, nothing else happens
    std::printf("first shown window: %lld ms after process start code\n", static_cast<long long>(shownMs));
    std::printf("idle memory: VmRSS %ld KiB, VmHWM %ld KiB\n", StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    std::filesystem::remove_all(folder);
    return 0;
}
