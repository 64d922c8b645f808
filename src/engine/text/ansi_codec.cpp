#include "engine/text/ansi_codec.h"

#include <iconv.h>

#include <cstdlib>
#include <string>

#include "engine/text/utf8.h"

AnsiCodec::AnsiCodec(int codePage) : m_codePage(codePage) {
    const std::string name = codePage == 874 ? "CP874" : "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    for (int b = 0; b < 256; ++b) {
        char32_t cp = 0xFFFD;
        if (b < 0x80) {
            cp = static_cast<char32_t>(b);
        } else if (cd != reinterpret_cast<iconv_t>(-1)) {
            char in = static_cast<char>(b);
            unsigned char out[4] = {};
            char* inPtr = &in;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t inLeft = 1, outLeft = 4;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && outLeft == 0)
                cp = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
        }
        m_codePoints[static_cast<std::size_t>(b)] = cp;
        AppendUtf8(m_toUtf8[static_cast<std::size_t>(b)], cp);
        if (cp != 0xFFFD) m_fromUnicode.emplace(cp, static_cast<unsigned char>(b));
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
}

const AnsiCodec& AnsiCodec::System() {
    static const AnsiCodec codec([] {
        for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(var);
            if (value != nullptr && *value != '\0') return CodePageForLocale(value);
        }
        return 1252;
    }());
    return codec;
}

int AnsiCodec::CodePageForLocale(std::string_view locale) {
    const std::string_view lang = locale.substr(0, locale.find_first_of("_.@-"));
    auto is = [lang](std::initializer_list<std::string_view> codes) {
        for (auto code : codes)
            if (lang == code) return true;
        return false;
    };
    if (is({"cs", "pl", "hu", "sk", "sl", "hr", "ro"})) return 1250;
    if (is({"ru", "uk", "be", "bg", "sr", "mk"})) return 1251;
    if (is({"el"})) return 1253;
    if (is({"tr"})) return 1254;
    if (is({"he"})) return 1255;
    if (is({"ar", "fa"})) return 1256;
    if (is({"lt", "lv", "et"})) return 1257;
    if (is({"vi"})) return 1258;
    if (is({"th"})) return 874;
    return 1252;
}

std::string AnsiCodec::ToUtf8(std::string_view ansi) const {
    std::string out;
    out.reserve(ansi.size());
    AppendUtf8To(out, ansi);
    return out;
}

void AnsiCodec::AppendUtf8To(std::string& out, std::string_view ansi) const {
    for (char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else
            out += m_toUtf8[b];
    }
}

std::string AnsiCodec::FromUtf8(std::string_view utf8, char replacement) const {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        if (!DecodeUtf8(utf8, i, cp)) {
            out += replacement;
            continue;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        auto it = m_fromUnicode.find(cp);
        out += it != m_fromUnicode.end() ? static_cast<char>(it->second) : replacement;
    }
    return out;
}
