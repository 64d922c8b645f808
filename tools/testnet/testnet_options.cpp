#include "testnet_options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/text/ansi_codec.h"

namespace {

template <class Number>
bool ReadInteger(std::string_view text, Number low, Number high, Number& value) {
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool ReadShare(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !(parsed >= 0.0 && parsed <= 1.0)) return false;
    value = parsed;
    return true;
}

// The search that Hubsift would send for this phrase: in the program's code page, blanks as "$".
SearchRequest CountRequest(std::string_view phrase, int type, std::optional<int64_t> min, std::optional<int64_t> max) {
    SearchRequest request;
    request.address = "127.0.0.1:1";
    request.type = type;
    if (min) {
        request.sizeLimit = SearchRequest::SizeLimit::AtLeast;
        request.size = *min;
    } else if (max) {
        request.sizeLimit = SearchRequest::SizeLimit::AtMost;
        request.size = *max;
    }
    std::string pattern = AnsiCodec::System().FromUtf8(phrase);
    for (char& c : pattern) {
        if (c == ' ') c = '$';
    }
    request.pattern = (type == 9 ? "TTH:" : "") + pattern;
    return request;
}

}  // namespace

TestnetOptions::ParseResult TestnetOptions::Parse(int argc, char** argv) {
    TestnetOptions options;
    // The demonstration network shows both protocols, plain and over TLS; tests and benchmarks choose their own mix.
    options.plan.adcShare = DefaultAdcShare;
    options.plan.tlsShare = DefaultTlsShare;
    std::optional<std::string> phrase;
    int type = 1;
    std::optional<int64_t> min;
    std::optional<int64_t> max;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        static const std::vector<std::string_view> known{
            "--hubs",      "--users",     "--bad-share",  "--adc-share", "--tls-share", "--latency", "--seed",
            "--base-port", "--http-port", "--exit-after", "--count",     "--type",      "--min",     "--max"};
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            return {std::nullopt, "unknown option " + std::string(name)};
        }
        if (i + 1 >= args.size()) return {std::nullopt, "missing value after " + std::string(name)};
        const std::string_view value = args[++i];
        int64_t number = 0;
        bool ok = true;
        if (name == "--hubs") {
            ok = ReadInteger<std::size_t>(value, 1, 1000, options.plan.hubs);
        } else if (name == "--users") {
            ok = ReadInteger<std::size_t>(value, 0, 500, options.plan.usersPerHub);
        } else if (name == "--bad-share") {
            ok = ReadShare(value, options.plan.badShare);
        } else if (name == "--adc-share") {
            ok = ReadShare(value, options.plan.adcShare);
        } else if (name == "--tls-share") {
            ok = ReadShare(value, options.plan.tlsShare);
        } else if (name == "--latency") {
            ok = ReadInteger<int64_t>(value, 0, 60000, number);
            options.network.latency = std::chrono::milliseconds(number);
        } else if (name == "--seed") {
            ok = ReadInteger<uint64_t>(value, 0, UINT64_MAX, options.plan.seed);
        } else if (name == "--base-port") {
            ok = ReadInteger<uint16_t>(value, 0, 65535, options.network.basePort);
        } else if (name == "--http-port") {
            ok = ReadInteger<uint16_t>(value, 0, 65535, options.network.httpPort);
        } else if (name == "--exit-after") {
            ok = ReadInteger<int>(value, 0, 86400, options.exitAfterSeconds);
        } else if (name == "--count") {
            phrase = std::string(value);
        } else if (name == "--type") {
            ok = ReadInteger<int>(value, 1, 9, type);
        } else if (name == "--min") {
            ok = ReadInteger<int64_t>(value, 0, INT64_MAX, number);
            min = number;
        } else {
            ok = ReadInteger<int64_t>(value, 0, INT64_MAX, number);
            max = number;
        }
        if (!ok) return {std::nullopt, "bad value for " + std::string(name) + ": " + std::string(value)};
    }
    if (min && max) return {std::nullopt, "a search carries one size limit: give --min or --max, not both"};
    if (!phrase && (min || max || type != 1)) return {std::nullopt, "--type, --min and --max go with --count"};
    if (phrase) options.count = CountRequest(*phrase, type, min, max);
    return {options, ""};
}

std::string TestnetOptions::Usage() {
    return "Usage: hubsift-testnet [options]\n"
           "A simulated Direct Connect network on 127.0.0.1: NMDC and ADC hubs, plain and over TLS, with simulated\n"
           "users who answer searches, and an HTTP server with the hub list. Prints \"hublist: URL\" and runs until\n"
           "interrupted.\n"
           "\n"
           "  --hubs N          number of hubs, on consecutive ports (default 50)\n"
           "  --users K         simulated users per hub (default 20)\n"
           "  --bad-share F     share of badly behaved hubs, 0 to 1 (default 0.2)\n"
           "  --adc-share F     share of the well-behaved hubs that speak ADC, 0 to 1 (default 0.25)\n"
           "  --tls-share F     share of the well-behaved hubs served over TLS, 0 to 1 (default 0.25)\n"
           "  --latency MS      every hub answers each message MS milliseconds late (default 0)\n"
           "  --seed S          same seed, same network (default 1)\n"
           "  --base-port P     port of the first hub; 0 finds free ports (default 0)\n"
           "  --http-port P     port of the hub list server; 0 finds a free one (default 0)\n"
           "  --exit-after S    stop after S seconds (default 0: run until SIGINT or SIGTERM)\n"
           "  --count PHRASE    print how many results the network returns for this search, and exit;\n"
           "                    with --type T (1 any ... 9 TTH, default 1) and --min BYTES or --max BYTES\n";
}
