#include "engine/results/result_export.h"

#include "engine/text/ansi_codec.h"

namespace {

// The output takes the document in pieces of about this size.
constexpr std::size_t kChunkBytes = 1 << 16;

constexpr std::string_view kCsvHeader = "Filename,Size,Slots,User,Hub IP Address,Path,TTH\r\n";

}  // namespace

ResultExporter::ResultExporter(ExportFormat format, const AnsiCodec& codec, Output output)
    : m_format(format), m_codec(codec), m_output(std::move(output)) {
    m_buffer.reserve(kChunkBytes * 2);
    m_buffer = m_format == ExportFormat::kCsv ? kCsvHeader : "[";
}

bool ResultExporter::Add(const ResultRow& row) {
    if (m_failed) return false;
    if (m_format == ExportFormat::kCsv)
        AddCsv(row);
    else
        AddJson(row);
    m_firstRow = false;
    return m_buffer.size() < kChunkBytes || Flush();
}

bool ResultExporter::Finish() {
    if (m_format == ExportFormat::kJson) m_buffer += m_firstRow ? "]\n" : "\n]\n";
    return Flush();
}

void ResultExporter::AddCsv(const ResultRow& row) {
    AppendCsvField(row.FileName);
    m_buffer += ',';
    if (!row.IsDirectory) m_buffer += std::to_string(row.Size);
    m_buffer += ',';
    AppendCsvField(row.SlotsText);
    m_buffer += ',';
    AppendCsvField(row.User);
    m_buffer += ',';
    AppendCsvField(row.HubAddress);
    m_buffer += ',';
    AppendCsvField(row.Path);
    m_buffer += ',';
    m_buffer += row.Tth;
    m_buffer += "\r\n";
}

void ResultExporter::AddJson(const ResultRow& row) {
    m_buffer += m_firstRow ? "\n{\"fileName\":" : ",\n{\"fileName\":";
    AppendJsonString(row.FileName);
    m_buffer += ",\"path\":";
    AppendJsonString(row.Path);
    m_buffer += row.IsDirectory ? ",\"directory\":true,\"size\":null" : ",\"directory\":false,\"size\":";
    if (!row.IsDirectory) m_buffer += std::to_string(row.Size);
    m_buffer += ",\"freeSlots\":";
    m_buffer += std::to_string(row.FreeSlots);
    m_buffer += ",\"totalSlots\":";
    m_buffer += std::to_string(row.TotalSlots);
    m_buffer += ",\"slots\":";
    AppendJsonString(row.SlotsText);
    m_buffer += ",\"user\":";
    AppendJsonString(row.User);
    m_buffer += ",\"hubAddress\":";
    AppendJsonString(row.HubAddress);
    m_buffer += ",\"tth\":";
    if (row.Tth.empty())
        m_buffer += "null";
    else
        AppendJsonString(row.Tth);
    m_buffer += '}';
}

void ResultExporter::AppendCsvField(std::string_view ansi) {
    m_utf8.clear();
    m_codec.AppendUtf8To(m_utf8, ansi);
    if (m_utf8.find_first_of(",\"\r\n") == std::string::npos) {
        m_buffer += m_utf8;
        return;
    }
    m_buffer += '"';
    std::string_view rest = m_utf8;
    for (std::size_t quote = rest.find('"'); quote != std::string_view::npos; quote = rest.find('"')) {
        m_buffer += rest.substr(0, quote + 1);
        m_buffer += '"';
        rest.remove_prefix(quote + 1);
    }
    m_buffer += rest;
    m_buffer += '"';
}

void ResultExporter::AppendJsonString(std::string_view ansi) {
    static constexpr char kHex[] = "0123456789abcdef";
    m_utf8.clear();
    m_codec.AppendUtf8To(m_utf8, ansi);
    m_buffer += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < m_utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(m_utf8[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        m_buffer.append(m_utf8, plainFrom, i - plainFrom);
        plainFrom = i + 1;
        if (byte >= 0x20) {
            m_buffer += '\\';
            m_buffer += static_cast<char>(byte);
        } else {
            m_buffer += "\\u00";
            m_buffer += kHex[byte >> 4];
            m_buffer += kHex[byte & 15];
        }
    }
    m_buffer.append(m_utf8, plainFrom);
    m_buffer += '"';
}

bool ResultExporter::Flush() {
    if (!m_failed && !m_buffer.empty() && !m_output(m_buffer)) m_failed = true;
    m_buffer.clear();
    return !m_failed;
}
