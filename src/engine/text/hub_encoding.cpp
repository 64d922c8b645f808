#include "engine/text/hub_encoding.h"

#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <map>
#include <utility>

#include "engine/text/ansi_codec.h"
#include "engine/text/utf8.h"

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One iconv descriptor per direction and encoding, opened on first use by each thread and kept for its lifetime, so
// a conversion costs no iconv_open. Hubs use a handful of encodings, so the map stays small.
class ThreadConverters {
public:
    ThreadConverters() = default;
    ThreadConverters(const ThreadConverters&) = delete;
    ThreadConverters& operator=(const ThreadConverters&) = delete;
    ~ThreadConverters() {
        for (auto& [key, cd] : m_converters)
            if (cd != kNoConverter) iconv_close(cd);
    }

    // A descriptor reset to its initial state, or kNoConverter when iconv does not know the pair.
    iconv_t Get(const std::string& to, const std::string& from) {
        auto [it, added] = m_converters.try_emplace({to, from}, kNoConverter);
        if (added) it->second = iconv_open(to.c_str(), from.c_str());
        if (it->second != kNoConverter) iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

    static ThreadConverters& Current() {
        thread_local ThreadConverters converters;
        return converters;
    }

private:
    std::map<std::pair<std::string, std::string>, iconv_t> m_converters;
};

// Whether iconv knows the encoding and it writes ASCII as ASCII, as NMDC's commands and separators require (which
// rules out UTF-16 and the like).
bool IsUsableForHubs(const std::string& name) {
    const iconv_t cd = iconv_open(name.c_str(), "UTF-8");
    if (cd == kNoConverter) return false;
    std::string probe = "$Search Hub:x F?T?0?9?a|";
    char* inPtr = probe.data();
    std::size_t inLeft = probe.size();
    std::array<char, 64> out{};
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return converted && std::string_view(out.data(), out.size() - outLeft) == probe;
}

std::string LocaleIconvName() {
    const int codePage = AnsiCodec::System().CodePage();
    return "CP" + std::to_string(codePage);
}

// Lower case without blanks, '-' and '_', so "Windows-1251", "cp_1251" and "CP 1251" compare alike.
std::string Folded(std::string_view name) {
    std::string folded;
    for (char c : name)
        if (c != '-' && c != '_' && c != ' ') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// The iconv name for a hub list's spelling, or "" when none fits.
std::string IconvNameFor(std::string_view listName) {
    const std::string folded = Folded(listName);
    if (folded.empty()) return {};
    if (folded == "utf8") return "UTF-8";
    for (std::string_view prefix : {"windows", "win", "cp", "ibm"}) {
        if (!folded.starts_with(prefix)) continue;
        const std::string digits = folded.substr(prefix.size());
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) return "CP" + digits;
    }
    if (folded.starts_with("iso8859") && folded.size() > 7) return "ISO-8859-" + folded.substr(7);
    if (folded == "latin1") return "ISO-8859-1";
    if (folded == "latin2") return "ISO-8859-2";
    if (folded == "koi8r") return "KOI8-R";
    if (folded == "koi8u") return "KOI8-U";
    // Anything else iconv itself may know (GBK, Shift_JIS, BIG5, …).
    return std::string(listName);
}

// Runs cd over in; on an invalid or unwritable sequence calls onBad(position) which returns the replacement to append
// (and the input skips one byte), or nothing to give up. Returns false when given up.
template <typename OnBad>
bool Convert(iconv_t cd, std::string_view in, std::string& out, OnBad onBad) {
    out.clear();
    std::array<char, 512> buffer{};
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (true) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t done = iconv(cd, inLeft > 0 ? &inPtr : nullptr, &inLeft, &outPtr, &outLeft);
        const int error = done == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (error == E2BIG) continue;
        if (error == EILSEQ || error == EINVAL) {
            const std::optional<std::string_view> replacement = onBad();
            if (!replacement) return false;
            out += *replacement;
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        if (error != 0) return false;
        if (inLeft == 0) return true;
    }
}

}  // namespace

HubEncoding::HubEncoding() : m_iconvName(LocaleIconvName()) {}

HubEncoding HubEncoding::FromListName(std::string_view listName) {
    std::string name = IconvNameFor(listName);
    if (name.empty() || !IsUsableForHubs(name)) return HubEncoding();
    return HubEncoding(std::move(name));
}

std::string HubEncoding::ToUtf8(std::string_view bytes) const {
    if (IsAscii(bytes)) return std::string(bytes);
    const iconv_t cd = ThreadConverters::Current().Get("UTF-8", m_iconvName);
    std::string out;
    if (cd == kNoConverter) return AnsiCodec::System().ToUtf8(bytes);
    Convert(cd, bytes, out, [] { return std::optional<std::string_view>("\xEF\xBF\xBD"); });
    return out;
}

std::optional<std::string> HubEncoding::FromUtf8(std::string_view utf8) const {
    if (IsAscii(utf8)) return std::string(utf8);
    if (!IsValidUtf8(utf8)) return std::nullopt;
    if (IsUtf8()) return std::string(utf8);
    const iconv_t cd = ThreadConverters::Current().Get(m_iconvName, "UTF-8");
    if (cd == kNoConverter) return std::nullopt;
    std::string out;
    if (!Convert(cd, utf8, out, [] { return std::optional<std::string_view>(); })) return std::nullopt;
    return out;
}
