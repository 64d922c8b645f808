#include "engine/hublist/xml_scanner.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>
#include <string_view>

#include "engine/text/ansi_codec.h"
#include "engine/text/ascii_case.h"

namespace {

constexpr char kInvertedQuestionMark = '\xBF';

// Hub lists come from the network: nothing they name may be fetched, neither a file nor a URL.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void IgnoreMessage(void*, const char*, ...) {}

void InitLibxml2() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    });
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Declaration {
    bool present = false;
    bool utf8 = false;
};

// Reads the XML declaration ahead of libxml2, which must be told before parsing whether to map bytes one to one.
Declaration ReadDeclaration(std::string_view doc) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const bool bom = doc.substr(0, kBom.size()) == kBom;
    if (bom) doc.remove_prefix(kBom.size());
    if (doc.size() < 6 || doc.substr(0, 5) != "<?xml" || !IsXmlSpace(doc[5])) return {false, bom};
    const std::string_view decl = doc.substr(0, doc.find("?>"));
    const std::size_t key = decl.find("encoding");
    if (key == std::string_view::npos) return {true, true};
    std::size_t pos = key + 8;
    while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || decl[pos] != '=') return {true, true};
    ++pos;
    while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {true, true};
    const std::size_t end = decl.find(decl[pos], pos + 1);
    const std::string_view name = decl.substr(pos + 1, end == std::string_view::npos ? end : end - pos - 1);
    return {true, EqualsIgnoringAsciiCase(name, "UTF-8") || EqualsIgnoringAsciiCase(name, "UTF8")};
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// libxml2 hands out UTF-8; a document read as ISO-8859-1 gets its bytes back from the code points. Only character
// references can name a code point above 255.
std::string Latin1FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            out += static_cast<char>(((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            i += 2;
        } else {
            out += kInvertedQuestionMark;
            ++i;
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
        }
    }
    return out;
}

void RecordError(void* arg, xmlErrorPtr error) {
    if (error == nullptr || error->level < XML_ERR_ERROR || error->message == nullptr) return;
    auto* last = static_cast<std::string*>(arg);
    *last = error->message;
    while (!last->empty() && last->back() == '\n') last->pop_back();
}

}  // namespace

XmlScanner::XmlScanner() {
    InitLibxml2();
    // Nothing is logged; faults reach the caller through Failed(). libxml2 keeps this setting per thread.
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
}

XmlScanner::~XmlScanner() {
    Reset();
}

bool XmlScanner::LoadFile(const std::string& path) {
    Reset();
    m_document.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string content;
    if (ok) content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (ok && got < content.size()) {
        const ssize_t n = read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (!ok) return false;
    // A file that shrank while being read is taken as far as it went.
    content.resize(got);
    LoadText(std::move(content));
    return true;
}

void XmlScanner::LoadText(std::string document) {
    Reset();
    m_document = std::move(document);
    const Declaration declaration = ReadDeclaration(m_document);
    m_hasDeclaration = declaration.present;
    m_utf8 = declaration.utf8;
}

void XmlScanner::StartScan() {
    Reset();
    // An empty document has no parts; libxml2 would call it an error.
    if (m_document.empty()) return;
    if (m_document.size() > INT_MAX) {
        Fail("document too large");
        return;
    }
    const int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOWARNING | XML_PARSE_NOERROR |
                        (m_utf8 ? 0 : XML_PARSE_IGNORE_ENC);
    m_reader = xmlReaderForMemory(m_document.data(), static_cast<int>(m_document.size()), nullptr,
                                  m_utf8 ? nullptr : "ISO-8859-1", options);
    if (m_reader == nullptr) {
        Fail("cannot create the XML reader");
        return;
    }
    xmlTextReaderSetStructuredErrorHandler(m_reader, RecordError, &m_libxmlError);
    m_declarationPending = m_hasDeclaration;
}

bool XmlScanner::Next() {
    if (m_reader == nullptr) return false;
    // libxml2 consumes the XML declaration without reporting it.
    m_atDeclaration = m_declarationPending;
    m_declarationPending = false;
    if (m_atDeclaration) return true;
    m_libxmlError.clear();
    const int result = xmlTextReaderRead(m_reader);
    if (result == 1) return true;
    if (result < 0) Fail(m_libxmlError);
    xmlFreeTextReader(m_reader);
    m_reader = nullptr;
    return false;
}

XmlPartType XmlScanner::PartType() const {
    if (m_atDeclaration) return XmlPartType::XmlDeclaration;
    if (m_reader == nullptr) return XmlPartType::Other;
    switch (xmlTextReaderNodeType(m_reader)) {
        case XML_READER_TYPE_ELEMENT:
            return xmlTextReaderIsEmptyElement(m_reader) == 1 ? XmlPartType::EmptyElementTag : XmlPartType::StartTag;
        case XML_READER_TYPE_END_ELEMENT:
            return XmlPartType::EndTag;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            return XmlPartType::Text;
        case XML_READER_TYPE_CDATA:
            return XmlPartType::CData;
        case XML_READER_TYPE_COMMENT:
            return XmlPartType::Comment;
        case XML_READER_TYPE_PROCESSING_INSTRUCTION:
            return XmlPartType::ProcessingInstruction;
        case XML_READER_TYPE_DOCUMENT_TYPE:
            return XmlPartType::Doctype;
        default:
            return XmlPartType::Other;
    }
}

std::string XmlScanner::ElementName() const {
    if (m_reader == nullptr || m_atDeclaration) return {};
    return FromDocument(xmlTextReaderConstName(m_reader));
}

std::string XmlScanner::AttributeValue(const char* name) const {
    if (m_reader == nullptr || m_atDeclaration) return {};
    xmlChar* value = xmlTextReaderGetAttribute(m_reader, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string text = FromDocument(value);
    xmlFree(value);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string XmlScanner::FromDocument(const unsigned char* text) const {
    if (text == nullptr) return {};
    const std::string_view utf8(reinterpret_cast<const char*>(text));
    if (IsAscii(utf8)) return std::string(utf8);
    return m_utf8 ? AnsiCodec::System().FromUtf8(utf8, kInvertedQuestionMark) : Latin1FromUtf8(utf8);
}

void XmlScanner::Reset() {
    if (m_reader != nullptr) xmlFreeTextReader(m_reader);
    m_reader = nullptr;
    m_declarationPending = false;
    m_atDeclaration = false;
    m_error.clear();
}

void XmlScanner::Fail(std::string message) {
    m_error = message.empty() ? "malformed document" : std::move(message);
}
