#pragma once

#include <cstddef>

#include "engine/text/hub_encoding.h"

// The character sets in which simulated users' clients write their names and read searches.
enum class Charset { Utf8, Cp1252, Cp1251, Cp1250 };
constexpr std::size_t kCharsetCount = 4;

const HubEncoding& EncodingOf(Charset charset);
