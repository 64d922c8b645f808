#include "engine/results/result_text.h"

#include "engine/text/hub_text_reading.h"
#include "engine/text/utf8.h"

void ReadResultText(SearchResult& result, const HubEncodingFinder& findHub) {
    if (IsAscii(result.FileName) && IsAscii(result.Path) && IsAscii(result.User)) return;
    const std::optional<HubEncoding> hub = findHub ? findHub(result.HubAddress) : std::nullopt;
    const HubEncoding* encoding = hub ? &*hub : nullptr;
    for (std::string* field : {&result.FileName, &result.Path, &result.User})
        if (!IsAscii(*field)) *field = ReadHubText(*field, encoding);
}
