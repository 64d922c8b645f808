#include "engine/text/hub_text_reading.h"

#include "engine/text/utf8.h"

TextReading ChooseTextReading(std::string_view bytes, bool hubKnown) {
    if (IsAscii(bytes)) return TextReading::Ascii;
    if (IsValidUtf8(bytes)) return TextReading::Utf8;
    return hubKnown ? TextReading::HubEncoding : TextReading::LocaleCodePage;
}

std::string ReadHubText(std::string_view bytes, const HubEncoding* hubEncoding) {
    switch (ChooseTextReading(bytes, hubEncoding != nullptr)) {
        case TextReading::Ascii:
        case TextReading::Utf8:
            return std::string(bytes);
        case TextReading::HubEncoding:
            return hubEncoding->ToUtf8(bytes);
        case TextReading::LocaleCodePage:
            break;
    }
    static const HubEncoding locale;
    return locale.ToUtf8(bytes);
}
