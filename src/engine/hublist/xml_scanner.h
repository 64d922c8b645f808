#pragma once

#include <string>

// libxml2's reader, held opaque so that users of the scanner need no libxml2 headers.
struct _xmlTextReader;

// The parts of a document, in the order the scanner meets them.
enum class XmlPartType {
    XmlDeclaration,
    Comment,
    ProcessingInstruction,
    Doctype,
    StartTag,
    EmptyElementTag,
    EndTag,
    Text,
    CData,
    Other,
};

// A non-validating pull scanner over a document held whole in memory. Safe for documents from the network: no
// external entity, DTD or network access, and entity expansion is bounded by libxml2 (a blow-up is a failure).
// Text comes out as bytes of the program's code page: converted when the document is UTF-8 (its declaration says so,
// or names no encoding), byte for byte otherwise. One scanner per thread.
class XmlScanner {
public:
    XmlScanner();
    ~XmlScanner();
    XmlScanner(const XmlScanner&) = delete;
    XmlScanner& operator=(const XmlScanner&) = delete;

    // Reads the whole file, read-only. False for a missing or unreadable file, which leaves the scanner empty.
    bool LoadFile(const std::string& path);
    void LoadText(std::string document);

    // Positions the scanner before the first part of the loaded document.
    void StartScan();
    // Advances to the next part. False at the end of the document or at a fault; Failed() tells the two apart.
    bool Next();
    bool Failed() const { return !m_error.empty(); }
    // Why the scan failed, libxml2's words.
    const std::string& Error() const { return m_error; }

    XmlPartType PartType() const;
    std::string ElementName() const;
    // The value of the current tag's attribute of exactly this name, or empty text when there is none. References
    // are replaced and tab, CR and LF become spaces.
    std::string AttributeValue(const char* name) const;

private:
    void Reset();
    void Fail(std::string message);
    std::string FromDocument(const unsigned char* text) const;

    std::string m_document;
    bool m_utf8 = true;
    bool m_hasDeclaration = false;
    bool m_declarationPending = false;
    bool m_atDeclaration = false;
    _xmlTextReader* m_reader = nullptr;
    std::string m_libxmlError;
    std::string m_error;
};
