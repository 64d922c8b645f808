#include "engine/search/hub_values.h"

#include <utility>

HubValues ValuesForHub(const RunValues& values, const HubEncoding& encoding) {
    std::optional<std::string> nick = encoding.FromUtf8(values.Nick);
    if (!nick) return {std::nullopt, ExchangeEnd::NickNotWritable};
    std::optional<std::string> pattern = encoding.FromUtf8(values.SearchPattern);
    if (!pattern) return {std::nullopt, ExchangeEnd::PhraseNotWritable};
    HubValues written{values};
    written.values->Nick = std::move(*nick);
    written.values->SearchPattern = std::move(*pattern);
    return written;
}
