#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "support/http_responder.h"

// An Internet Gateway Device served over HTTP on 127.0.0.1 (port 0): its description at DescriptionUrl(), and the
// WANIPConnection actions GetExternalIPAddress, AddPortMapping, AddAnyPortMapping (version 2 only) and
// DeletePortMapping, keeping a table of UDP mappings. Answers on the responder's thread.
class FakeIgd {
public:
    struct Options {
        std::string externalAddress = "198.51.100.4";
        std::set<uint16_t> takenPorts{};   // external ports another host holds: AddPortMapping answers 718
        bool version2 = false;             // offers AddAnyPortMapping
        bool permanentLeasesOnly = false;  // a lease other than 0 is answered with 725
        // Sends only the first bytes of every answer to a mapping request, then holds the connection until
        // destruction.
        bool stallMapping = false;
    };
    struct Mapping {
        uint16_t internalPort = 0;
        std::string internalClient;
        uint32_t lease = 0;
    };

    explicit FakeIgd(Options options);

    std::string DescriptionUrl() const;
    // Mappings by external port.
    std::map<uint16_t, Mapping> Mappings() const;

private:
    HttpReply Answer(const std::string& request);
    HttpReply Control(const std::string& action, const std::string& body);

    const Options m_options;
    mutable std::mutex m_mutex;
    std::map<uint16_t, Mapping> m_mappings;
    std::unique_ptr<HttpResponder> m_http;  // last: stops before the table goes
};
