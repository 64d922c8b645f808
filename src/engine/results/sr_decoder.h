#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/results/result_batch.h"
#include "engine/results/result_text.h"
#include "engine/results/search_result.h"

// The result filters, read from the search form at the moment a result is decoded: the limits as the last run
// start left them, the size condition the drop-down shows now and the free-slot box as it is ticked now.
struct ResultFilter {
    int64_t SizeFilterLow = -1;   // bytes, -1 = none; for "At Most" the single limit
    int64_t SizeFilterHigh = -1;  // bytes, -1 = none
    bool AtMostShown = false;     // the size condition is "At Most"
    bool OnlyFreeSlots = false;   // "Only with free slots" is ticked
};

// Whether a file of this size passes the size filter. Directory results are never size-filtered.
bool PassesSizeFilter(int64_t size, const ResultFilter& filter);

// Decodes one NMDC message (without its "|") into result, reusing result's storage. Returns false, with result in an
// unspecified state, for anything that is not a well-formed "$SR " message or that the filter rejects.
bool DecodeSearchResult(std::string_view message, const ResultFilter& filter, SearchResult& result);

// Called for each accepted result of a datagram, in order; returning false ends the datagram.
// The result is only valid during the call.
using SearchResultSink = std::function<bool(const SearchResult& result)>;

// Cuts one datagram's payload into messages on "|" and hands every accepted $SR result to sink, its texts read as
// UTF-8 (ReadResultText with findHub). Any bytes are safe.
void DecodeDatagram(std::string_view datagram, const ResultFilter& filter, const SearchResultSink& sink,
                    const HubEncodingFinder& findHub = {});
// The same, appending the accepted results to batch.
void DecodeDatagram(std::string_view datagram, const ResultFilter& filter, ResultBatch& batch,
                    const HubEncodingFinder& findHub = {});
