#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search/connection_plan.h"
#include "engine/search/search_criteria.h"

enum class CliCommand { Search, Refresh, Hubs, PrintHelp, PrintVersion };
enum class OutputFormat { Table, Json, Csv };

struct PortRange {
    int32_t first = 0;
    int32_t last = 0;
};

// What one hubsift-cli command line asks for. Unset optionals leave the stored setting in force.
struct CliOptions {
    CliCommand command = CliCommand::PrintHelp;
    std::string phrase;
    // File type and size condition as the window's search form holds them; sizes are in bytes (unit 0).
    SearchForm form;
    bool freeSlotsOnly = false;
    std::optional<int32_t> threads;
    std::optional<int32_t> timeoutSeconds;
    std::optional<PortRange> ports;
    std::optional<std::string> ip;
    std::optional<ConnectionMode> mode;
    OutputFormat format = OutputFormat::Table;
    std::optional<std::string> dataDir;
};

// Exactly one of the two is set; error is one line without the program's name, e.g. "unknown option '--x'".
struct CliParse {
    std::optional<CliOptions> options;
    std::string error;
};

// The arguments after the program's name. --help and --version win wherever they stand; "--" ends the options.
CliParse ParseCliArguments(const std::vector<std::string>& arguments);

// A size as typed: a decimal number with "." and an optional unit, with or without a blank between: B, K/KB/KiB,
// M/MB/MiB, G/GB/GiB in any case. Every unit counts in powers of 1024, as the window's size units do, so MB and
// MiB both mean 2^20 bytes. Fractions of a byte are dropped. nullopt for anything else, negative sizes included.
std::optional<int64_t> ParseSizeArgument(std::string_view text);

// The usage text printed by --help.
std::string CliUsage();
