#include "engine/adc/adc_messages.h"

#include <charconv>
#include <span>

#include "engine/adc/adc_text.h"

namespace {

// Slots and hub counts as the NMDC $MyINFO announces them, so both protocols show the same user.
constexpr std::string_view kSlotsAndHubs = " SL10 HN1 HR0 HO0";
constexpr std::string_view kClientVersion = "Hubsift " HUBSIFT_VERSION;
constexpr std::size_t kSidLength = 4;
constexpr std::size_t kCidLength = 39;

// What the file types of the search form mean as extensions, for hubs and clients that see only EX.
constexpr std::string_view kAudio[] = {"mp3", "flac", "ogg", "opus", "m4a", "aac", "wav", "wma", "ape",
                                       "mpc", "wv",   "aif", "aiff", "mid", "mka", "ac3", "dts"};
constexpr std::string_view kCompressed[] = {"zip", "rar", "7z",  "gz",  "bz2", "xz",  "zst", "tar",
                                            "tgz", "tbz", "txz", "lzh", "lha", "arj", "ace", "cab"};
constexpr std::string_view kDocuments[] = {"txt",  "nfo", "pdf", "doc",  "docx", "odt",  "rtf",  "htm",  "html", "xls",
                                           "xlsx", "ods", "ppt", "pptx", "odp",  "epub", "mobi", "djvu", "chm",  "md"};
constexpr std::string_view kExecutables[] = {"exe", "com", "msi", "bat", "cmd", "apk", "deb", "rpm", "dmg", "appimage"};
constexpr std::string_view kPictures[] = {"jpg",  "jpeg", "png", "gif", "bmp", "tif", "tiff", "webp",
                                          "heic", "svg",  "psd", "ico", "tga", "raw", "cr2",  "nef"};
constexpr std::string_view kVideo[] = {"mkv", "mp4", "avi", "mov", "wmv",  "mpg", "mpeg", "m4v", "webm",
                                       "flv", "vob", "ogm", "ts",  "m2ts", "3gp", "divx", "rm",  "rmvb"};

std::span<const std::string_view> ExtensionsOf(int fileType) {
    switch (fileType) {
        case kAudioFiles:
            return kAudio;
        case kCompressedFiles:
            return kCompressed;
        case kDocumentFiles:
            return kDocuments;
        case kExecutableFiles:
            return kExecutables;
        case kPictureFiles:
            return kPictures;
        case kVideoFiles:
            return kVideo;
        default:
            return {};
    }
}

bool IsBase32Text(std::string_view text, std::size_t length) {
    if (text.size() != length) return false;
    for (const char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= '2' && c <= '7'))) return false;
    return true;
}

bool IsCommandName(std::string_view name) {
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return name.size() == 3 && upper(name[0]) && (upper(name[1]) || digit(name[1])) &&
           (upper(name[2]) || digit(name[2]));
}

bool ValidEscapes(std::string_view part) {
    for (std::size_t i = part.find('\\'); i != std::string_view::npos; i = part.find('\\', i + 2))
        if (i + 1 == part.size() || (part[i + 1] != 's' && part[i + 1] != 'n' && part[i + 1] != '\\')) return false;
    return true;
}

// Header fields before the parameters, by message type; -1 for a type that is not ADC.
int HeaderFieldCount(char type) {
    switch (type) {
        case 'C':
        case 'H':
        case 'I':
            return 0;
        case 'B':
        case 'U':
            return 1;
        case 'D':
        case 'E':
        case 'F':
            return 2;
        default:
            return -1;
    }
}

template <typename Integer>
std::optional<Integer> ParseDigits(std::string_view text) {
    Integer value = 0;
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string Unescaped(std::string_view part) {
    return AdcUnescape(part).value_or(std::string());
}

void AppendParameter(std::string& message, std::string_view name, std::string_view value) {
    message += ' ';
    message += name;
    message += AdcEscape(value);
}

}  // namespace

std::optional<int64_t> ParseAdcInt64(std::string_view text) {
    return ParseDigits<int64_t>(text);
}
std::optional<int32_t> ParseAdcInt32(std::string_view text) {
    return ParseDigits<int32_t>(text);
}

bool IsAdcSid(std::string_view text) {
    return IsBase32Text(text, kSidLength);
}
bool IsAdcCid(std::string_view text) {
    return IsBase32Text(text, kCidLength);
}

std::optional<AdcMessage> ParseAdcMessage(std::string_view line) {
    AdcMessage message;
    if (!ParseAdcMessageInto(line, message)) return std::nullopt;
    return message;
}

bool ParseAdcMessageInto(std::string_view line, AdcMessage& message) {
    if (line.size() < 4 || (line.size() > 4 && line[4] != ' ') || line.find('\n') != std::string_view::npos)
        return false;
    message.Type = line[0];
    message.Command = line.substr(1, 3);
    message.Source = message.Target = {};
    const int headerFields = HeaderFieldCount(message.Type);
    if (headerFields < 0 || !IsCommandName(message.Command)) return false;
    std::vector<std::string_view>& parts = message.Parameters;
    parts.clear();
    if (line.size() > 4) SplitAdcMessage(line.substr(5), parts);
    if (parts.size() < static_cast<std::size_t>(headerFields)) return false;
    for (const std::string_view part : parts)
        if (part.empty() || !ValidEscapes(part)) return false;
    if (message.Type == 'U') {
        if (!IsAdcCid(parts[0])) return false;
        message.Source = parts[0];
    } else if (headerFields > 0) {
        if (!IsAdcSid(parts[0])) return false;
        message.Source = parts[0];
        if (message.Type != 'F') {
            if (headerFields == 2 && !IsAdcSid(parts[1])) return false;
            if (headerFields == 2) message.Target = parts[1];
        }
    }
    // The feature list of an F message is a header field, not a parameter.
    parts.erase(parts.begin(), parts.begin() + headerFields);
    return true;
}

std::optional<std::string_view> FindAdcParameter(const AdcMessage& message, std::string_view name, std::size_t first) {
    for (std::size_t i = first; i < message.Parameters.size(); ++i)
        if (message.Parameters[i].size() >= 2 && message.Parameters[i].substr(0, 2) == name)
            return message.Parameters[i].substr(2);
    return std::nullopt;
}

std::string AdcSupportsMessage() {
    return "HSUP ADBASE ADTIGR\n";
}

std::string AdcInfoMessage(const AdcLoginInfo& info) {
    std::string message = "BINF " + info.Sid + " ID" + info.Cid + " PD" + info.Pid;
    AppendParameter(message, "NI", info.Nick);
    AppendParameter(message, "SS", info.ShareSizeBytes);
    message += kSlotsAndHubs;
    AppendParameter(message, "VE", kClientVersion);
    if (info.UdpPort > 0) {
        message += " SUUDP4";
        AppendParameter(message, "I4", info.Ip);
        message += " U4" + std::to_string(info.UdpPort);
    }
    return message + "\n";
}

AdcSearchQuery AdcQueryFor(std::string_view phrase, const SearchForm& form, const SearchCriteria& criteria) {
    AdcSearchQuery query;
    std::vector<std::string_view> words;
    SplitAdcMessage(phrase, words);
    if (form.fileType == kTthSearch) {
        for (const std::string_view word : words)
            if (!word.empty()) query.Tth = word;
        return query;
    }
    for (const std::string_view word : words) {
        if (word.size() > 1 && word[0] == '-')
            query.ExcludedWords.emplace_back(word.substr(1));
        else if (!word.empty())
            query.Words.emplace_back(word);
    }
    if (form.sizeCondition == kAtMost) {
        query.MaxSize = criteria.SizeFilterLow;
    } else {
        if (criteria.SizeFilterLow > 0) query.MinSize = criteria.SizeFilterLow;
        query.MaxSize = criteria.SizeFilterHigh;
    }
    if (form.fileType == kFolders) query.Kind = AdcResultKind::DirectoriesOnly;
    const std::span<const std::string_view> extensions = ExtensionsOf(form.fileType);
    if (!extensions.empty()) query.Kind = AdcResultKind::FilesOnly;
    query.Extensions.assign(extensions.begin(), extensions.end());
    return query;
}

std::string AdcSearchMessage(std::string_view sid, const AdcSearchQuery& query, std::string_view token) {
    std::string message = "BSCH ";
    message += sid;
    if (!query.Tth.empty()) AppendParameter(message, "TR", query.Tth);
    for (const std::string& word : query.Words) AppendParameter(message, "AN", word);
    for (const std::string& word : query.ExcludedWords) AppendParameter(message, "NO", word);
    if (query.MinSize >= 0) message += " GE" + std::to_string(query.MinSize);
    if (query.MaxSize >= 0) message += " LE" + std::to_string(query.MaxSize);
    if (query.Kind == AdcResultKind::FilesOnly) message += " TY1";
    if (query.Kind == AdcResultKind::DirectoriesOnly) message += " TY2";
    for (const std::string_view extension : query.Extensions) AppendParameter(message, "EX", extension);
    AppendParameter(message, "TO", token);
    return message + "\n";
}

std::optional<AdcStatus> ParseAdcStatus(const AdcMessage& message) {
    if (message.Command != "STA" || message.Parameters.empty()) return std::nullopt;
    const std::string_view code = message.Parameters[0];
    if (code.size() != 3) return std::nullopt;
    for (const char c : code)
        if (c < '0' || c > '9') return std::nullopt;
    AdcStatus status;
    status.Severity = code[0] - '0';
    status.Code = (code[1] - '0') * 10 + (code[2] - '0');
    if (message.Parameters.size() > 1) status.Text = Unescaped(message.Parameters[1]);
    return status;
}

std::optional<std::string_view> ParseAdcSid(const AdcMessage& message) {
    if (message.Type != 'I' || message.Command != "SID" || message.Parameters.empty() ||
        !IsAdcSid(message.Parameters[0]))
        return std::nullopt;
    return message.Parameters[0];
}

std::optional<AdcUserInfo> ParseAdcUserInfo(const AdcMessage& message) {
    if (message.Type != 'B' || message.Command != "INF") return std::nullopt;
    AdcUserInfo info;
    info.Sid = message.Source;
    if (const auto cid = FindAdcParameter(message, "ID")) {
        if (!IsAdcCid(*cid)) return std::nullopt;
        info.Cid = *cid;
    }
    if (const auto nick = FindAdcParameter(message, "NI")) info.Nick = Unescaped(*nick);
    if (const auto slots = FindAdcParameter(message, "SL")) info.Slots = ParseAdcInt32(*slots).value_or(-1);
    return info;
}

std::optional<AdcQuit> ParseAdcQuit(const AdcMessage& message) {
    if (message.Type != 'I' || message.Command != "QUI" || message.Parameters.empty() ||
        !IsAdcSid(message.Parameters[0]))
        return std::nullopt;
    AdcQuit quit;
    quit.Sid = message.Parameters[0];
    if (const auto text = FindAdcParameter(message, "MS", 1)) quit.Message = Unescaped(*text);
    if (const auto address = FindAdcParameter(message, "RD", 1)) quit.Redirect = Unescaped(*address);
    return quit;
}
