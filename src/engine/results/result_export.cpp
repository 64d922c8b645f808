#include "engine/results/result_export.h"

namespace {

// The output takes the document in pieces of about this size.
constexpr std::size_t kChunkBytes = 1 << 16;

constexpr std::string_view kCsvHeader = "Filename,Size,Slots,User,Hub IP Address,Path,TTH\r\n";

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    std::string_view rest = text;
    for (std::size_t quote = rest.find('"'); quote != std::string_view::npos; quote = rest.find('"')) {
        out += rest.substr(0, quote + 1);
        out += '"';
        rest.remove_prefix(quote + 1);
    }
    out += rest;
    out += '"';
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.append(text, plainFrom, i - plainFrom);
        plainFrom = i + 1;
        if (byte >= 0x20) {
            out += '\\';
            out += static_cast<char>(byte);
        } else {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    out.append(text, plainFrom);
    out += '"';
}

ResultExporter::ResultExporter(ExportFormat format, Output output) : m_format(format), m_output(std::move(output)) {
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
    AppendCsvField(m_buffer, row.FileName);
    m_buffer += ',';
    if (!row.IsDirectory) m_buffer += std::to_string(row.Size);
    m_buffer += ',';
    AppendCsvField(m_buffer, row.SlotsText);
    m_buffer += ',';
    AppendCsvField(m_buffer, row.User);
    m_buffer += ',';
    AppendCsvField(m_buffer, row.HubAddress);
    m_buffer += ',';
    AppendCsvField(m_buffer, row.Path);
    m_buffer += ',';
    m_buffer += row.Tth;
    m_buffer += "\r\n";
}

void ResultExporter::AddJson(const ResultRow& row) {
    m_buffer += m_firstRow ? "\n{\"fileName\":" : ",\n{\"fileName\":";
    AppendJsonString(m_buffer, row.FileName);
    m_buffer += ",\"path\":";
    AppendJsonString(m_buffer, row.Path);
    m_buffer += row.IsDirectory ? ",\"directory\":true,\"size\":null" : ",\"directory\":false,\"size\":";
    if (!row.IsDirectory) m_buffer += std::to_string(row.Size);
    m_buffer += ",\"freeSlots\":";
    m_buffer += std::to_string(row.FreeSlots);
    m_buffer += ",\"totalSlots\":";
    m_buffer += std::to_string(row.TotalSlots);
    m_buffer += ",\"slots\":";
    AppendJsonString(m_buffer, row.SlotsText);
    m_buffer += ",\"user\":";
    AppendJsonString(m_buffer, row.User);
    m_buffer += ",\"hubAddress\":";
    AppendJsonString(m_buffer, row.HubAddress);
    m_buffer += ",\"tth\":";
    if (row.Tth.empty())
        m_buffer += "null";
    else
        AppendJsonString(m_buffer, row.Tth);
    m_buffer += '}';
}

bool ResultExporter::Flush() {
    if (!m_failed && !m_buffer.empty() && !m_output(m_buffer)) m_failed = true;
    m_buffer.clear();
    return !m_failed;
}
