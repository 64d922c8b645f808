#include "engine/hublist/xml_scanner.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/sys/regular_file.h"
#include "engine/text/ascii_case.h"
#include "engine/text/hub_text_reading.h"
#include "engine/text/utf8.h"

namespace {

// The parser is fed this much at a time, so that only the parts of one piece wait in memory.
constexpr std::size_t kPieceBytes = std::size_t{64} * 1024;
// Text that references to the document's own entities may add beyond the document's size: a blow-up past it ends the
// scan as a failure. libxml2 bounds nested expansion itself, but not many references to one large entity.
constexpr std::size_t kEntityTextPerDocumentByte = 4;
constexpr std::size_t kEntityTextAllowance = std::size_t{1} << 20;
constexpr int kParseOptions =
    XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;

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
    std::string_view encoding;  // as the declaration names it; empty when it names none
};

// Reads the XML declaration ahead of libxml2, which must be told before parsing whether to map bytes one to one.
Declaration ReadDeclaration(std::string_view doc) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    const bool bom = doc.substr(0, kBom.size()) == kBom;
    if (bom) doc.remove_prefix(kBom.size());
    if (doc.size() < 6 || doc.substr(0, 5) != "<?xml" || !IsXmlSpace(doc[5])) return {false, bom, {}};
    const std::string_view decl = doc.substr(0, doc.find("?>"));
    const std::size_t key = decl.find("encoding");
    if (key == std::string_view::npos) return {true, true, {}};
    std::size_t pos = key + 8;
    while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || decl[pos] != '=') return {true, true, {}};
    ++pos;
    while (pos < decl.size() && IsXmlSpace(decl[pos])) ++pos;
    if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {true, true, {}};
    const std::size_t end = decl.find(decl[pos], pos + 1);
    const std::string_view name = decl.substr(pos + 1, end == std::string_view::npos ? end : end - pos - 1);
    return {true, EqualsIgnoringAsciiCase(name, "UTF-8") || EqualsIgnoringAsciiCase(name, "UTF8"), name};
}

// libxml2 hands out UTF-8; in a document read as ISO-8859-1 the code points up to 255 are the document's bytes, which
// are read here in the document's encoding. Only character references name higher code points.
std::string FromEightBitDocument(std::string_view utf8, const HubEncoding& encoding) {
    std::string out;
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        if (!DecodeUtf8(utf8, i, cp)) continue;
        if (cp <= 0xFF) {
            bytes += static_cast<char>(cp);
            continue;
        }
        out += ReadHubText(bytes, &encoding);
        bytes.clear();
        AppendUtf8(out, cp);
    }
    return out + ReadHubText(bytes, &encoding);
}

std::string_view View(const xmlChar* text) {
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

// A stretch of the scan's text store.
struct TextSpan {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// One part as libxml2 reported it; its name and attributes (in UTF-8) lie in the scan's stores.
struct XmlPart {
    XmlPartType type = XmlPartType::Comment;
    TextSpan name;
    std::size_t firstAttribute = 0;
    std::size_t attributeCount = 0;
};

}  // namespace

struct XmlScanner::Scan {
    ~Scan() { Close(); }

    void Add(const XmlPart& part) {
        // libxml2 reports one run of text in several calls (around references, at piece ends): one part.
        const bool continued =
            (part.type == XmlPartType::Text || part.type == XmlPartType::CData) && lastAdded == part.type;
        lastAdded = part.type;
        if (!continued) parts.push_back(part);
    }

    TextSpan Keep(const xmlChar* prefix, std::string_view name) {
        const TextSpan span{text.size(), name.size() + (prefix != nullptr ? View(prefix).size() + 1 : 0)};
        if (prefix != nullptr) {
            text += View(prefix);
            text += ':';
        }
        text += name;
        return span;
    }

    std::string_view Text(TextSpan span) const { return std::string_view(text).substr(span.offset, span.size); }

    // Makes room for the parts of the next piece, once every part of the last one has been handed out.
    void ClearStores() {
        parts.clear();
        nextPart = 0;
        text.clear();
        attributes.clear();
        current = {};
    }

    void Close() {
        if (parser == nullptr) return;
        if (parser->myDoc != nullptr) xmlFreeDoc(parser->myDoc);
        xmlFreeParserCtxt(parser);
        parser = nullptr;
    }

    xmlParserCtxtPtr parser = nullptr;
    std::size_t fed = 0;  // bytes of the document given to the parser
    bool declarationPending = false;
    std::vector<XmlPart> parts;  // reported by the parser; those from nextPart on are not yet handed out
    std::size_t nextPart = 0;
    std::string text;                                       // names and attribute values of the parts
    std::vector<std::pair<TextSpan, TextSpan>> attributes;  // name and value
    XmlPart current;
    std::optional<XmlPartType> lastAdded;
    bool emptyElementOpen = false;  // the last tag was an empty-element tag, whose end libxml2 reports too
    std::size_t entityTextLeft = 0;
    bool entityBlowUp = false;
    std::string firstError;
};

namespace {

// The SAX callbacks get the parser (which may be a nested one expanding an entity); the scan rides along in it.
XmlScanner::Scan& ScanOf(void* parser) {
    return *static_cast<XmlScanner::Scan*>(static_cast<xmlParserCtxtPtr>(parser)->_private);
}

void OnStartElement(void* parser, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int, const xmlChar**,
                    int attributeCount, int defaultedCount, const xmlChar** attributes) {
    // libxml2 calls this before it consumes the tag's closing "/>" or ">", as its own reader relies on.
    const xmlChar* after = static_cast<xmlParserCtxtPtr>(parser)->input->cur;
    const bool empty = after != nullptr && after[0] == '/' && after[1] == '>';
    XmlScanner::Scan& scan = ScanOf(parser);
    XmlPart part{empty ? XmlPartType::EmptyElementTag : XmlPartType::StartTag, scan.Keep(prefix, View(localName)),
                 scan.attributes.size(), 0};
    // Attributes that only the DTD supplies are not part of the tag.
    for (int i = 0; i < attributeCount - defaultedCount; ++i, ++part.attributeCount) {
        const xmlChar* const* attribute = attributes + std::ptrdiff_t{5} * i;
        const TextSpan name = scan.Keep(attribute[1], View(attribute[0]));
        const std::string_view value(reinterpret_cast<const char*>(attribute[3]),
                                     static_cast<std::size_t>(attribute[4] - attribute[3]));
        scan.attributes.emplace_back(name, scan.Keep(nullptr, value));
    }
    scan.Add(part);
    scan.emptyElementOpen = empty;
}

void OnEndElement(void* parser, const xmlChar*, const xmlChar*, const xmlChar*) {
    XmlScanner::Scan& scan = ScanOf(parser);
    if (std::exchange(scan.emptyElementOpen, false)) return;
    scan.Add({XmlPartType::EndTag, {}, 0, 0});
}

void OnCharacters(void* parser, const xmlChar*, int) {
    ScanOf(parser).Add({XmlPartType::Text, {}, 0, 0});
}

void OnCData(void* parser, const xmlChar*, int) {
    ScanOf(parser).Add({XmlPartType::CData, {}, 0, 0});
}

void OnComment(void* parser, const xmlChar*) {
    ScanOf(parser).Add({XmlPartType::Comment, {}, 0, 0});
}

void OnProcessingInstruction(void* parser, const xmlChar*, const xmlChar*) {
    ScanOf(parser).Add({XmlPartType::ProcessingInstruction, {}, 0, 0});
}

// libxml2 keeps the document's own entity declarations under the DOCTYPE it builds here.
void OnDoctype(void* parser, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId) {
    ScanOf(parser).Add({XmlPartType::Doctype, {}, 0, 0});
    xmlSAX2InternalSubset(parser, name, externalId, systemId);
}

void OnError(void* parser, xmlErrorPtr error) {
    if (error == nullptr || error->level < XML_ERR_ERROR || error->message == nullptr) return;
    std::string& first = ScanOf(parser).firstError;
    if (!first.empty()) return;
    first = error->message;
    while (!first.empty() && first.back() == '\n') first.pop_back();
}

xmlEntityPtr OnEntityReference(void* parser, const xmlChar* name) {
    xmlEntityPtr entity = xmlSAX2GetEntity(parser, name);
    XmlScanner::Scan& scan = ScanOf(parser);
    if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY || scan.entityBlowUp) return entity;
    const auto length = static_cast<std::size_t>(std::max(entity->length, 0));
    if (length <= scan.entityTextLeft) {
        scan.entityTextLeft -= length;
        return entity;
    }
    scan.entityBlowUp = true;
    if (scan.firstError.empty()) scan.firstError = "entity expansion too large";
    xmlStopParser(static_cast<xmlParserCtxtPtr>(parser));
    return nullptr;
}

// libxml2's own handlers keep the DTD and its entities; the parts are recorded instead of building a tree.
xmlSAXHandler* ScanHandler() {
    static xmlSAXHandler handler = [] {
        xmlSAXHandler h{};
        xmlSAXVersion(&h, 2);
        h.startElementNs = OnStartElement;
        h.endElementNs = OnEndElement;
        h.characters = OnCharacters;
        h.ignorableWhitespace = OnCharacters;
        h.cdataBlock = OnCData;
        h.comment = OnComment;
        h.processingInstruction = OnProcessingInstruction;
        h.internalSubset = OnDoctype;
        h.getEntity = OnEntityReference;
        h.reference = nullptr;
        h.serror = OnError;
        return h;
    }();
    return &handler;
}

}  // namespace

XmlScanner::XmlScanner() {
    InitLibxml2();
    // Nothing is logged; faults reach the caller through Failed(). libxml2 keeps this setting per thread.
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
}

XmlScanner::~XmlScanner() = default;

bool XmlScanner::LoadFile(const std::string& path) {
    m_scan.reset();
    m_document.clear();
    std::optional<std::string> content = ReadRegularFile(path);
    if (!content) return false;
    LoadText(std::move(*content));
    return true;
}

void XmlScanner::LoadText(std::string document) {
    m_scan.reset();
    m_document = std::move(document);
    const Declaration declaration = ReadDeclaration(m_document);
    m_hasDeclaration = declaration.present;
    m_utf8 = declaration.utf8;
    m_eightBitEncoding = HubEncoding::FromListName(declaration.encoding);
}

void XmlScanner::StartScan() {
    m_scan = std::make_unique<Scan>();
    m_error.clear();
    // An empty document has no parts; libxml2 would call it an error.
    if (m_document.empty()) return;
    xmlParserCtxtPtr parser = xmlCreatePushParserCtxt(ScanHandler(), nullptr, nullptr, 0, nullptr);
    if (parser == nullptr) {
        m_error = "cannot create the XML parser";
        return;
    }
    if (!m_utf8) xmlCtxtResetPush(parser, nullptr, 0, nullptr, "ISO-8859-1");
    xmlCtxtUseOptions(parser, kParseOptions | (m_utf8 ? 0 : XML_PARSE_IGNORE_ENC));
    parser->_private = m_scan.get();
    m_scan->parser = parser;
    m_scan->declarationPending = m_hasDeclaration;
    m_scan->entityTextLeft = kEntityTextAllowance + kEntityTextPerDocumentByte * m_document.size();
}

bool XmlScanner::Next() {
    if (m_scan == nullptr) return false;
    Scan& scan = *m_scan;
    // libxml2 consumes the XML declaration without reporting it.
    if (std::exchange(scan.declarationPending, false)) {
        scan.current = {XmlPartType::XmlDeclaration, {}, 0, 0};
        return true;
    }
    if (scan.nextPart == scan.parts.size()) scan.ClearStores();
    while (scan.parts.empty()) {
        if (scan.parser == nullptr) return false;
        const std::size_t size = std::min(kPieceBytes, m_document.size() - scan.fed);
        const bool last = scan.fed + size == m_document.size();
        std::string_view piece(m_document.data() + scan.fed, size);
        // libxml2 takes a NUL byte for the end of its input and reads no further; 0x01 is as wrong in XML but is
        // recovered from.
        std::string cleaned;
        if (piece.find('\0') != std::string_view::npos) {
            cleaned = piece;
            std::replace(cleaned.begin(), cleaned.end(), '\0', '\x01');
            piece = cleaned;
        }
        xmlParseChunk(scan.parser, piece.data(), static_cast<int>(piece.size()), last ? 1 : 0);
        scan.fed += size;
        if ((scan.parser->wellFormed == 0 || scan.entityBlowUp) && m_error.empty())
            m_error = scan.firstError.empty() ? "malformed document" : scan.firstError;
        // A halted parser (an entity blow-up, content after the root element) reads no further.
        if (last || scan.parser->instate == XML_PARSER_EOF) scan.Close();
    }
    scan.current = scan.parts[scan.nextPart++];
    return true;
}

XmlPartType XmlScanner::PartType() const {
    return m_scan != nullptr ? m_scan->current.type : XmlPartType::Comment;
}

std::string XmlScanner::ElementName() const {
    return m_scan != nullptr ? FromDocument(m_scan->Text(m_scan->current.name)) : std::string();
}

std::string XmlScanner::AttributeValue(const char* name) const {
    if (m_scan == nullptr) return {};
    const Scan& scan = *m_scan;
    const auto first = scan.attributes.begin() + static_cast<std::ptrdiff_t>(scan.current.firstAttribute);
    const auto last = first + static_cast<std::ptrdiff_t>(scan.current.attributeCount);
    const auto found =
        std::find_if(first, last, [&](const auto& attribute) { return scan.Text(attribute.first) == name; });
    if (found == last) return {};
    std::string text = FromDocument(scan.Text(found->second));
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string XmlScanner::FromDocument(std::string_view utf8) const {
    if (m_utf8 || IsAscii(utf8)) return std::string(utf8);
    return FromEightBitDocument(utf8, m_eightBitEncoding);
}
