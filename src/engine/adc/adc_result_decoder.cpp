#include "engine/adc/adc_result_decoder.h"

#include <algorithm>

#include "engine/adc/adc_text.h"
#include "engine/results/dc_links.h"

namespace {

// A user whose BINF was not seen (or named nobody) is shown by the start of the CID, enough to tell users apart.
constexpr std::size_t kCidNickLength = 8;

struct ResultFields {
    std::optional<std::string_view> name, size, slots, tth, token;
};

ResultFields FieldsOf(const AdcMessage& message) {
    ResultFields fields;
    for (const std::string_view parameter : message.Parameters) {
        if (parameter.size() < 2) continue;
        const std::string_view name = parameter.substr(0, 2), value = parameter.substr(2);
        std::optional<std::string_view>* field = name == "FN"   ? &fields.name
                                                 : name == "SI" ? &fields.size
                                                 : name == "SL" ? &fields.slots
                                                 : name == "TR" ? &fields.tth
                                                 : name == "TO" ? &fields.token
                                                                : nullptr;
        if (field != nullptr && !*field) *field = value;
    }
    return fields;
}

// FN without its leading "/", with NMDC's backslashes; false for an empty name.
bool DecodeName(std::string_view escaped, std::string& path) {
    if (!AdcUnescapeInto(escaped, path)) return false;
    if (path.starts_with('/')) path.erase(0, 1);
    if (path.empty() || path == "/") return false;
    std::replace(path.begin(), path.end(), '/', '\\');
    return true;
}

void DecodeUser(std::string_view senderCid, const AdcRunRegistry& run, int32_t freeSlots, SearchResult& result) {
    int32_t totalSlots = -1;
    if (!run.FindUser(senderCid, result.User, totalSlots) || result.User.empty())
        result.User.assign(senderCid.substr(0, kCidNickLength));
    result.FreeSlots = freeSlots;
    result.TotalSlots = totalSlots >= 0 ? totalSlots : freeSlots;
    result.SlotsText = std::to_string(freeSlots);
    if (totalSlots >= 0) result.SlotsText += "/" + std::to_string(totalSlots);
}

}  // namespace

bool DecodeAdcResult(const AdcMessage& message, std::string_view senderCid, const AdcRunRegistry& run,
                     const ResultFilter& filter, SearchResult& result) {
    if (message.Command != "RES") return false;
    const ResultFields fields = FieldsOf(message);
    if (!fields.name || !fields.slots || !fields.token) return false;
    const std::optional<int32_t> freeSlots = ParseAdcInt32(*fields.slots);
    if (!freeSlots || (*freeSlots == 0 && filter.OnlyFreeSlots)) return false;
    // Our tokens hold nothing that ADC escapes, so the token is compared as received.
    AdcResultKind kind = AdcResultKind::Any;
    if (!run.FindSearch(*fields.token, result.HubAddress, kind)) return false;
    if (!DecodeName(*fields.name, result.Path)) return false;

    const bool isDirectory = result.Path.back() == '\\';
    if (kind == (isDirectory ? AdcResultKind::FilesOnly : AdcResultKind::DirectoriesOnly)) return false;
    if (isDirectory) {
        result.FileName = result.Path;
        result.Size = -1;
        result.SizeText.assign(kDirectorySizeText);
    } else {
        const std::optional<int64_t> size = fields.size ? ParseAdcInt64(*fields.size) : std::nullopt;
        if (!size || !PassesSizeFilter(*size, filter)) return false;
        const std::size_t cut = result.Path.rfind('\\') + 1;  // 0 without a backslash
        result.FileName.assign(result.Path, cut);
        result.Path.resize(cut);
        result.Size = *size;
        result.SizeText.clear();
    }
    result.Tth.assign(fields.tth && IsTth(*fields.tth) ? *fields.tth : std::string_view());
    DecodeUser(senderCid, run, *freeSlots, result);
    return true;
}

void DecodeAdcDatagram(std::string_view datagram, const AdcRunRegistry& run, const ResultFilter& filter,
                       const SearchResultSink& sink) {
    SearchResult result;
    while (!datagram.empty()) {
        const std::size_t end = std::min(datagram.find('\n'), datagram.size());
        const std::optional<AdcMessage> message = ParseAdcMessage(datagram.substr(0, end));
        datagram.remove_prefix(std::min(end + 1, datagram.size()));
        if (message && message->Type == 'U' && DecodeAdcResult(*message, message->Source, run, filter, result) &&
            !sink(result))
            return;
    }
}
