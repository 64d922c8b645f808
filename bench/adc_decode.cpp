// Decoding speed of URES datagrams into SearchResult on one core, beside the $SR decoder on messages of the same
// shape in the same run. Prints figures; not run by the tests.
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "best_seconds.h"
#include "engine/adc/adc_result_decoder.h"
#include "engine/adc/adc_text.h"
#include "engine/adc/base32.h"
#include "results_data.h"

namespace {

constexpr int kMessages = 1000000;
constexpr int kHubs = 1000;
constexpr int kUsers = 100000;

std::string RandomBase32(std::mt19937& random, std::size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    return Base32Encode(data);
}

// The URES a client sends for the same kind of result as GeneratedSrMessage: one per datagram, a hash for files and
// the all-"A" one for directories.
std::string UresMessage(const std::string& srMessage, const std::string& cid, std::mt19937& random) {
    // "$SR nick path\name\x05size slots\x05hub" or "$SR nick dir slots\x05hub".
    const std::size_t afterNick = srMessage.find(' ', 4) + 1;
    const std::size_t fieldEnd = srMessage.find('\x05');
    const bool file = srMessage.find('\x05', fieldEnd + 1) != std::string::npos;
    std::string path, size = "0";
    if (file) {
        path = srMessage.substr(afterNick, fieldEnd - afterNick);
        const std::size_t sizeEnd = srMessage.find(' ', fieldEnd);
        size = srMessage.substr(fieldEnd + 1, sizeEnd - fieldEnd - 1);
    } else {
        path = srMessage.substr(afterNick, srMessage.rfind(' ', fieldEnd) - afterNick) + "\\";
    }
    for (char& c : path)
        if (c == '\\') c = '/';
    const std::string tth = file ? RandomBase32(random, 24) : std::string(39, 'A');
    return "URES " + cid + " FN/" + AdcEscape(path) + " SI" + size + " SL" + std::to_string(random() % 6) + " TR" +
           tth + " TOBENCH" + std::to_string(random() % kHubs) + "\n";
}

}  // namespace

int main() {
    std::mt19937 random(7);
    AdcRunRegistry run("BENCH");
    for (int hub = 0; hub < kHubs; ++hub)
        run.AddSearch("hub" + std::to_string(hub) + ".example:411", AdcResultKind::Any);
    std::vector<std::string> cids;
    for (int user = 0; user < kUsers; ++user) {
        cids.push_back(RandomBase32(random, 24));
        if (user % 2 == 0) run.AddUser(cids.back(), "user" + std::to_string(user), 1 + user % 10);
    }
    // URES datagrams back to back in one buffer, as they pass through the receive buffer one after another.
    std::vector<std::string> srDatagrams(1);
    std::string uresBytes;
    std::vector<std::size_t> uresEnds;
    std::size_t answering = 0;
    for (int i = 0; i < kMessages; ++i) {
        const std::string message = GeneratedSrMessage(random);
        if (srDatagrams.back().size() + message.size() + 1 > 8192) srDatagrams.emplace_back();
        srDatagrams.back() += message + "|";
        // Clients send up to ten results for a search, one after another; half the users were seen in a BINF.
        if (i % 10 == 0) answering = random() % cids.size();
        uresBytes += UresMessage(message, cids[answering], random);
        uresEnds.push_back(uresBytes.size());
    }

    const ResultFilter filter{-1, -1, false, false};
    long accepted = 0;
    const auto count = [&accepted](const SearchResult&) {
        ++accepted;
        return true;
    };
    const double ures = BestSeconds([&] {
        accepted = 0;
        std::size_t start = 0;
        for (const std::size_t end : uresEnds) {
            DecodeAdcDatagram(std::string_view(uresBytes).substr(start, end - start), run, filter, count);
            start = end;
        }
    });
    const long uresAccepted = accepted;
    const double sr = BestSeconds([&] {
        accepted = 0;
        for (const std::string& datagram : srDatagrams) DecodeDatagram(datagram, filter, count);
    });
    std::printf("URES: %d messages, %ld accepted, %.3f s, %.0f messages/s\n", kMessages, uresAccepted, ures,
                kMessages / ures);
    std::printf("$SR:  %d messages, %ld accepted, %.3f s, %.0f messages/s\n", kMessages, accepted, sr, kMessages / sr);
    std::printf("URES rate / $SR rate: %.2f\n", sr / ures);
    return 0;
}
