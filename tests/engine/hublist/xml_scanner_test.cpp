#include "engine/hublist/xml_scanner.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Parts = std::vector<std::pair<XmlPartType, std::string>>;

TEST(XmlScanner, ReportsEveryPartInDocumentOrder) {
    XmlScanner scanner;
    scanner.LoadText(
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY e \"v\">]><!-- c --><?pi data?>"
        "<l a=\"1\"><Hub Address=\"x\"/><Hub Address=\"y\"></Hub>te&amp;&e;xt<![CDATA[<raw>]]></l>");
    Parts parts;
    for (int pass = 0; pass < 2; ++pass) {
        parts.clear();
        scanner.StartScan();
        while (scanner.Next()) {
            const XmlPartType type = scanner.PartType();
            const bool tag = type == XmlPartType::StartTag || type == XmlPartType::EmptyElementTag;
            parts.emplace_back(type, tag ? scanner.ElementName() + "|" + scanner.AttributeValue("Address") : "");
        }
        EXPECT_FALSE(scanner.Failed()) << scanner.Error();
    }
    const Parts expected = {
        {XmlPartType::XmlDeclaration, ""}, {XmlPartType::Doctype, ""},
        {XmlPartType::Comment, ""},        {XmlPartType::ProcessingInstruction, ""},
        {XmlPartType::StartTag, "l|"},     {XmlPartType::EmptyElementTag, "Hub|x"},
        {XmlPartType::StartTag, "Hub|y"},  {XmlPartType::EndTag, ""},
        {XmlPartType::Text, ""},           {XmlPartType::CData, ""},
        {XmlPartType::EndTag, ""},
    };
    EXPECT_EQ(parts, expected);
}

}  // namespace
