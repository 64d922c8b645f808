#pragma once

#include <string>
#include <string_view>

#include "engine/text/hub_encoding.h"

// How a name, path or message from a hub is read.
enum class TextReading {
    Ascii,           // nothing to convert
    Utf8,            // valid UTF-8 with non-ASCII bytes: what Linux clients send on any hub
    HubEncoding,     // the encoding of the hub the text came from
    LocaleCodePage,  // the hub is not known: the locale's code page
};

// The rule: ASCII stays; valid UTF-8 with non-ASCII bytes is UTF-8 whatever the hub says (8-bit text that happens
// to be valid UTF-8 needs an upper-case letter followed only by bytes from 0x80–0xBF, which ordinary words in the
// Windows code pages practically never are); otherwise the hub's encoding, or the locale's code page when the hub
// is not known.
TextReading ChooseTextReading(std::string_view bytes, bool hubKnown);

// bytes from a hub as UTF-8 by ChooseTextReading; hubEncoding is nullptr for an unknown hub.
std::string ReadHubText(std::string_view bytes, const HubEncoding* hubEncoding);
