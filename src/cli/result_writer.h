#pragma once

#include <ostream>

#include "cli/cli_options.h"
#include "engine/results/search_result.h"

// Prints search results to out as they arrive, in the format hubsift-cli(1) documents: table, JSON lines or
// RFC 4180 CSV, in UTF-8. Flushes after every result, so a pipe sees each at
// once.
class ResultWriter {
public:
    ResultWriter(OutputFormat format, std::ostream& out);

    // The header line of table and CSV; nothing for JSON.
    void WriteHeader();
    void Write(const SearchResult& result);

private:
    void WriteJson(const SearchResult& result);
    void WriteCsv(const SearchResult& result);
    void WriteTable(const SearchResult& result);

    const OutputFormat m_format;
    std::ostream& m_out;
};
