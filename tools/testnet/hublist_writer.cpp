#include "hublist_writer.h"

#include <bzlib.h>

namespace {

std::string Escaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::string WriteHublistXml(const std::vector<HublistEntry>& hubs) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n";
    xml += "<Hublist Name=\"Hubsift test network\">\r\n\t<Hubs>\r\n\t\t<Columns>\r\n";
    for (const char* column :
         {"Name", "Address", "Description", "Users", "Country", "Shared", "Minshare", "Encoding"}) {
        xml += "\t\t\t<Column Name=\"" + std::string(column) + "\"/>\r\n";
    }
    xml += "\t\t</Columns>\r\n";
    for (const auto& hub : hubs) {
        xml += "\t\t<Hub Name=\"" + Escaped(hub.name) + "\" Address=\"" + Escaped(hub.address) + "\" Description=\"" +
               Escaped(hub.description) + "\" Users=\"" + std::to_string(hub.users) +
               "\" Country=\"Loopback\" Shared=\"" + std::to_string(hub.shared) + "\" Minshare=\"0\"" +
               (hub.encoding.empty() ? "" : " Encoding=\"" + Escaped(hub.encoding) + "\"") + "/>\r\n";
    }
    xml += "\t</Hubs>\r\n</Hublist>\r\n";
    return xml;
}

std::optional<std::string> Bzip2Compress(std::string_view text) {
    // libbz2 guarantees that 1% more than the input plus 600 bytes is always enough.
    auto capacity = static_cast<unsigned>(text.size() + text.size() / 100 + 601);
    std::string compressed(capacity, '\0');
    std::string input(text);
    if (BZ2_bzBuffToBuffCompress(compressed.data(), &capacity, input.data(), static_cast<unsigned>(input.size()), 9, 0,
                                 0) != BZ_OK) {
        return std::nullopt;
    }
    compressed.resize(capacity);
    return compressed;
}
