#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/text/hub_encoding.h"

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
};

// A non-validating pull scanner over a document held whole in memory. Safe for documents from the network: no
// external entity, DTD or network access, and entity expansion is bounded by libxml2 (a blow-up is a failure that
// ends the scan). Malformed markup does not end it: libxml2's recovery reads on after the fault, dropping what it
// cannot make sense of, and Failed() tells that there was one. Text comes out as UTF-8: as it is when the document is
// UTF-8 (its declaration says so, or names no encoding); otherwise its bytes are read like a hub's text
// (ReadHubText) in the encoding the declaration names, or the locale's code page without a declaration.
// One scanner per thread.
class XmlScanner {
public:
    XmlScanner();
    ~XmlScanner();
    XmlScanner(const XmlScanner&) = delete;
    XmlScanner& operator=(const XmlScanner&) = delete;

    // Reads the whole file, read-only, without blocking on anything but a regular file. False for a missing,
    // unreadable or non-regular file (a folder, a FIFO, a device), which leaves the scanner empty.
    bool LoadFile(const std::string& path);
    void LoadText(std::string document);

    // Positions the scanner before the first part of the loaded document.
    void StartScan();
    // Advances to the next part; false at the end of the document.
    bool Next();
    // Whether the scan so far met a fault; the parts before and after it still come.
    bool Failed() const { return !m_error.empty(); }
    // The first fault, libxml2's words.
    const std::string& Error() const { return m_error; }

    // The current part's type, after Next() returned true.
    XmlPartType PartType() const;
    std::string ElementName() const;
    // The value of the current tag's attribute of exactly this name, or empty text when there is none. References
    // are replaced and tab, CR and LF become spaces.
    std::string AttributeValue(const char* name) const;

    // A scan under way: libxml2's push parser and the parts it has produced but Next() has not yet handed out.
    struct Scan;

private:
    std::string FromDocument(std::string_view utf8) const;

    std::string m_document;
    bool m_utf8 = true;
    HubEncoding m_eightBitEncoding;  // for a document that is not UTF-8
    bool m_hasDeclaration = false;
    std::unique_ptr<Scan> m_scan;
    std::string m_error;
};
