#include "cli/result_writer.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/results/size_format.h"
#include "engine/text/ansi_codec.h"

namespace {

bool IsDirectory(const SearchResult& result) {
    return result.SizeText == kDirectorySizeText;
}

std::string JsonString(std::string_view utf8) {
    std::string text = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            text += escape;
        } else {
            text += c;
        }
    }
    return text + '"';
}

std::string CsvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string field = "\"";
    for (const char c : utf8) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
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

ResultWriter::ResultWriter(OutputFormat format, std::ostream& out, const AnsiCodec& codec)
    : m_format(format), m_out(out), m_codec(codec) {}

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
    m_out << "{\"file\":" << JsonString(m_codec.ToUtf8(result.FileName))
          << ",\"size\":" << (directory ? std::string("null") : std::to_string(result.Size))
          << ",\"directory\":" << (directory ? "true" : "false")
          << ",\"path\":" << JsonString(m_codec.ToUtf8(result.Path))
          << ",\"user\":" << JsonString(m_codec.ToUtf8(result.User)) << ",\"free_slots\":" << result.FreeSlots
          << ",\"total_slots\":" << result.TotalSlots << ",\"hub\":" << JsonString(m_codec.ToUtf8(result.HubAddress))
          << "}\n";
}

void ResultWriter::WriteCsv(const SearchResult& result) {
    const bool directory = IsDirectory(result);
    m_out << CsvField(m_codec.ToUtf8(result.FileName)) << ',' << (directory ? "" : std::to_string(result.Size)) << ','
          << (directory ? "true" : "false") << ',' << CsvField(m_codec.ToUtf8(result.Path)) << ','
          << CsvField(m_codec.ToUtf8(result.User)) << ',' << result.FreeSlots << ',' << result.TotalSlots << ','
          << CsvField(m_codec.ToUtf8(result.HubAddress)) << "\r\n";
}

void ResultWriter::WriteTable(const SearchResult& result) {
    const bool directory = IsDirectory(result);
    const std::string size = directory ? std::string(kDirectorySizeText) : SizeText(result.Size, ".");
    // A folder's name is its whole path already.
    const std::string file = directory ? result.FileName : result.Path + result.FileName;
    m_out << std::string(kSizeWidth > size.size() ? kSizeWidth - size.size() : 0, ' ') << size << "  "
          << Column(m_codec.ToUtf8(result.SlotsText), kSlotsWidth) << Column(m_codec.ToUtf8(result.User), kUserWidth)
          << Column(m_codec.ToUtf8(result.HubAddress), kHubWidth) << m_codec.ToUtf8(file) << '\n';
}
