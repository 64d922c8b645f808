#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/results/search_result.h"

enum class ExportFormat { kCsv, kJson };

// One UTF-8 text as a CSV field (RFC 4180: quoted when it holds a comma, a quote, CR or LF, quotes doubled).
void AppendCsvField(std::string& out, std::string_view text);
// One UTF-8 text as a JSON string, quotes, backslashes and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

// Writes result rows (UTF-8 texts) as a UTF-8 document:
// - CSV after RFC 4180: a header row, CR LF line ends, a field quoted when it holds a comma, a quote, CR or LF, quotes
//   doubled; Size in bytes, empty for a directory.
// - JSON: an array of objects, one per line, with typed fields: "fileName", "path", "directory" (boolean), "size"
//   (bytes, a number; null for a directory), "freeSlots" and "totalSlots" (numbers), "slots" (the text as received),
//   "user", "hubAddress" and "tth" (null without one).
// The output receives the document in chunks and returns false when it could not take one; the writer then stops.
// One thread at a time.
class ResultExporter {
public:
    using Output = std::function<bool(std::string_view bytes)>;

    ResultExporter(ExportFormat format, Output output);

    // False once the output has failed.
    bool Add(const ResultRow& row);
    // Ends the document and hands over what is left; false when the output failed at any point.
    bool Finish();

private:
    void AddCsv(const ResultRow& row);
    void AddJson(const ResultRow& row);
    bool Flush();

    ExportFormat m_format;
    Output m_output;
    std::string m_buffer;
    bool m_firstRow = true;
    bool m_failed = false;
};
