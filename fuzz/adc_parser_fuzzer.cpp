#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/adc/adc_messages.h"
#include "engine/adc/adc_result_decoder.h"
#include "engine/adc/adc_text.h"
#include "engine/adc/base32.h"

namespace {

const std::string kCid = "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY";

// A run of three hubs, one per kind of search, and one user seen.
struct FuzzRun {
    FuzzRun() {
        registry.AddSearch("any.example:411", AdcResultKind::Any);
        registry.AddSearch("files.example:411", AdcResultKind::FilesOnly);
        registry.AddSearch("dirs.example:411", AdcResultKind::DirectoriesOnly);
        registry.AddUser(kCid, "known", 3);
    }
    AdcRunRegistry registry{"F"};
};

const AdcRunRegistry& Run() {
    static const FuzzRun run;
    return run.registry;
}

void CheckResult(const SearchResult& result) {
    const bool directory = result.SizeText == "<DIR>";
    if (result.User.empty() || result.FileName.empty() || (directory ? result.Size != -1 : result.Size < 0))
        std::abort();
    if (!result.Tth.empty() && result.Tth.size() != 39) std::abort();
    if (result.HubAddress.find(".example:411") == std::string::npos) std::abort();
}

// A hub's line: whatever parses must read back consistently in every message reader.
void CheckLine(std::string_view line) {
    const std::optional<AdcMessage> message = ParseAdcMessage(line);
    if (!message) return;
    for (const std::string_view parameter : message->Parameters) {
        const std::optional<std::string> text = AdcUnescape(parameter);
        if (!text || AdcEscape(*text) != parameter) std::abort();
        if (const auto bytes = Base32Decode(parameter); bytes && Base32Encode(*bytes) != parameter) std::abort();
    }
    if (const auto status = ParseAdcStatus(*message); status && (status->Severity > 9 || status->Code > 99))
        std::abort();
    if (const auto sid = ParseAdcSid(*message); sid && !IsAdcSid(*sid)) std::abort();
    if (const auto user = ParseAdcUserInfo(*message); user && !user->Cid.empty() && !IsAdcCid(user->Cid)) std::abort();
    ParseAdcQuit(*message);
    SearchResult result;
    if (DecodeAdcResult(*message, kCid, Run(), {}, result)) CheckResult(result);
}

}  // namespace

// Hubs and anyone who can send a datagram control these bytes: any input must parse or be dropped, never crash or
// hang, and every accepted result must be a complete row.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ResultFilter filters[] = {{}, {1024, 1 << 20, false, true}, {1024, -1, true, false}};
    for (const ResultFilter& filter : filters) {
        DecodeAdcDatagram(input, Run(), filter, [](const SearchResult& result) {
            CheckResult(result);
            return true;
        });
    }
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        CheckLine(input.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
