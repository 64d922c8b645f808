#include "engine/net/address_lookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <memory>

#include "engine/sys/log.h"
#include "engine/text/ascii_case.h"

namespace {

bool InitAres() {
    static const bool ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
    return ready;
}

LookupStatus StatusOf(int aresStatus) {
    switch (aresStatus) {
        case ARES_SUCCESS:
            return LookupStatus::Found;
        case ARES_ENOTFOUND:
        case ARES_ENODATA:
        case ARES_ENONAME:
        case ARES_EBADNAME:
            return LookupStatus::NotFound;
        default:
            return LookupStatus::Failed;
    }
}

void OnAnswer(void* arg, int status, int /*timeouts*/, ares_addrinfo* result) {
    const std::unique_ptr<AddressFound> done(static_cast<AddressFound*>(arg));
    uint32_t address = 0;
    if (status == ARES_SUCCESS && result != nullptr) {
        status = ARES_ENODATA;
        for (const ares_addrinfo_node* node = result->nodes; node != nullptr; node = node->ai_next) {
            if (node->ai_family != AF_INET || node->ai_addr == nullptr) continue;
            address = reinterpret_cast<const sockaddr_in*>(node->ai_addr)->sin_addr.s_addr;
            status = ARES_SUCCESS;
            break;
        }
    }
    if (result != nullptr) ares_freeaddrinfo(result);
    (*done)(StatusOf(status), address);
}

void LogFound(const std::string& host, uint32_t address) {
    if (!LogEnabled(LogLevel::Debug)) return;
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    Log(LogLevel::Debug, "name " + host + " is " + dotted);
}

}  // namespace

bool IsInvalidName(std::string_view host) {
    if (host.ends_with('.')) host.remove_suffix(1);
    constexpr std::string_view Suffix = ".invalid";
    return host.size() >= Suffix.size() && EqualsIgnoringAsciiCase(host.substr(host.size() - Suffix.size()), Suffix);
}

ares_channel OpenLookupChannel(const std::string& nameServers, ares_options* options, int optmask) {
    ares_channel channel = nullptr;
    if (!InitAres() || ares_init_options(&channel, options, optmask) != ARES_SUCCESS) return nullptr;
    if (!nameServers.empty() && ares_set_servers_ports_csv(channel, nameServers.c_str()) != ARES_SUCCESS) {
        ares_destroy(channel);
        return nullptr;
    }
    return channel;
}

void StartAddressLookup(ares_channel channel, const std::string& host, AddressFound done) {
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_INET;
    // Every address found goes to the debug log, whoever looked it up.
    AddressFound logged = [host, done = std::move(done)](LookupStatus status, uint32_t address) {
        if (status == LookupStatus::Found) LogFound(host, address);
        done(status, address);
    };
    ares_getaddrinfo(channel, host.c_str(), nullptr, &hints, &OnAnswer, new AddressFound(std::move(logged)));
}
