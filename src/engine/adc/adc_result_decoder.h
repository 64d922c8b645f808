#pragma once

#include <string_view>

#include "engine/adc/adc_messages.h"
#include "engine/adc/adc_run_registry.h"
#include "engine/results/search_result.h"
#include "engine/results/sr_decoder.h"

// Decodes one RES message from the user with senderCid (a URES names it; for a DRES the hub exchange knows it from
// the sender's SID) into the same row an NMDC $SR gives: FN "/share/dir/name" becomes the path "share\dir\" and
// the name, a directory "/share/dir/" becomes "share\dir\" with "<DIR>". Texts stay UTF-8, as the program
// holds all text. Returns false, with result in an unspecified state, for a message that is
// malformed, lacks FN, SL or TO (or SI for a file), carries a number out of range or a token that is not the run's,
// is of the other kind than the hub's search asked for, or that the filter rejects.
bool DecodeAdcResult(const AdcMessage& message, std::string_view senderCid, const AdcRunRegistry& run,
                     const ResultFilter& filter, SearchResult& result);

// Hands every accepted URES of one datagram (one message, or several on separate lines) to sink. Any bytes are safe.
void DecodeAdcDatagram(std::string_view datagram, const AdcRunRegistry& run, const ResultFilter& filter,
                       const SearchResultSink& sink);
