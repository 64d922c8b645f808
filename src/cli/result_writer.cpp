#include "cli/result_writer.h"

#include <string>
#include <string_view>

#include "engine/results/result_export.h"
#include "engine/results/size_format.h"

namespace {

bool IsDirectory(const SearchResult& result) {
    return result.SizeText == kDirectorySizeText;
}

std::string JsonString(std::string_view text) {
    std::string json;
    AppendJsonString(json, text);
    return json;
}

std::string CsvField(std::string_view text) {
    std::string field;
    AppendCsvField(field, text);
    return field;
}

// Left-aligned in width columns of bytes, always followed by two blanks.
std::string Column(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text + "  ";
}

constexpr std::size_t kSizeWidth = 10;
constexpr std::size_t kSlotsWidth = 7;
constexpr std::size_t kUserWidth = 16;
constexpr std::size_t kHubWidth = 21;

}  // namespace

ResultWriter::ResultWriter(OutputFormat format, std::ostream& out) : m_format(format), m_out(out) {}

void ResultWriter::WriteHeader() {
    if (m_format == OutputFormat::Csv) m_out << "file,size,directory,path,user,free_slots,total_slots,hub\r\n";
    if (m_format == OutputFormat::Table)
        m_out << std::string(kSizeWidth - 4, ' ') << "SIZE  " << Column("SLOTS", kSlotsWidth)
              << Column("USER", kUserWidth) << Column("HUB", kHubWidth) << "FILE\n";
    m_out.flush();
}

void ResultWriter::Write(const SearchResult& result) {
    switch (m_format) {
        case OutputFormat::Json:
            WriteJson(result);
            break;
        case OutputFormat::Csv:
            WriteCsv(result);
            break;
        case OutputFormat::Table:
            WriteTable(result);
            break;
    }
    m_out.flush();
}

void ResultWriter::WriteJson(const SearchResult& result) {
    const bool directory = IsDirectory(result);
    m_out << "{\"file\":" << JsonString(result.FileName)
          << ",\"size\":" << (directory ? std::string("null") : std::to_string(result.Size))
          << ",\"directory\":" << (directory ? "true" : "false") << ",\"path\":" << JsonString(result.Path)
          << ",\"user\":" << JsonString(result.User) << ",\"free_slots\":" << result.FreeSlots
          << ",\"total_slots\":" << result.TotalSlots << ",\"hub\":" << JsonString(result.HubAddress) << "}\n";
}

void ResultWriter::WriteCsv(const SearchResult& result) {
    const bool directory = IsDirectory(result);
    m_out << CsvField(result.FileName) << ',' << (directory ? "" : std::to_string(result.Size)) << ','
          << (directory ? "true" : "false") << ',' << CsvField(result.Path) << ',' << CsvField(result.User) << ','
          << result.FreeSlots << ',' << result.TotalSlots << ',' << CsvField(result.HubAddress) << "\r\n";
}

void ResultWriter::WriteTable(const SearchResult& result) {
    const bool directory = IsDirectory(result);
    const std::string size = directory ? std::string(kDirectorySizeText) : SizeText(result.Size, ".");
    // A folder's name is its whole path already.
    const std::string file = directory ? result.FileName : result.Path + result.FileName;
    m_out << std::string(kSizeWidth > size.size() ? kSizeWidth - size.size() : 0, ' ') << size << "  "
          << Column(result.SlotsText, kSlotsWidth) << Column(result.User, kUserWidth)
          << Column(result.HubAddress, kHubWidth) << file << '\n';
}
