#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search/search_criteria.h"

// The ADC messages of one search: those we build for the hub and those we read from it. Parsers take one line
// without its line feed, check all of it and return nothing for a malformed message; views point into the line.

// One message cut into its header and its parameters, still escaped.
struct AdcMessage {
    char Type = 0;             // B broadcast, D direct, E echo, F feature, H to the hub, I from the hub, U UDP
    std::string_view Command;  // three letters: "INF", "SCH", ...
    std::string_view Source;   // B, D, E, F: the sender's SID; U: the sender's CID; empty for H and I
    std::string_view Target;   // D, E: the addressee's SID
    std::vector<std::string_view> Parameters;  // everything after the header, in order
};
std::optional<AdcMessage> ParseAdcMessage(std::string_view line);
// The same into message, reusing its storage; false (message unspecified) for a malformed line.
bool ParseAdcMessageInto(std::string_view line, AdcMessage& message);
// The first parameter named name (two characters) from index first on (after positional ones), without the name.
std::optional<std::string_view> FindAdcParameter(const AdcMessage& message, std::string_view name,
                                                 std::size_t first = 0);
// Numbers as ADC writes them: decimal digits only, no sign, within the type's range.
std::optional<int64_t> ParseAdcInt64(std::string_view text);
std::optional<int32_t> ParseAdcInt32(std::string_view text);
bool IsAdcSid(std::string_view text);
bool IsAdcCid(std::string_view text);

// ---- What we send.

struct AdcLoginInfo {
    std::string Sid;  // as the hub assigned it
    std::string Cid;  // base32
    std::string Pid;  // base32
    std::string Nick;
    std::string ShareSizeBytes;  // decimal text
    std::string Ip;              // dotted IPv4; with UdpPort announces that results may come by UDP
    int32_t UdpPort = 0;         // 0: passive, results come through the hub
};

// "HSUP ADBASE ADTIGR\n": the base protocol with Tiger as the hash.
std::string AdcSupportsMessage();
std::string AdcInfoMessage(const AdcLoginInfo& info);

enum class AdcResultKind { Any, FilesOnly, DirectoriesOnly };

// What one search asks for, independent of the hub.
struct AdcSearchQuery {
    std::vector<std::string> Words;          // all must match (AN); not escaped
    std::vector<std::string> ExcludedWords;  // none may match (NO)
    std::string Tth;                         // base32; when set, a search by TTH (TR) instead of words
    int64_t MinSize = -1;                    // bytes (GE); -1 none
    int64_t MaxSize = -1;                    // bytes (LE); -1 none
    AdcResultKind Kind = AdcResultKind::Any;
    std::vector<std::string_view> Extensions;  // EX: the file type's extensions, without the dot
};

// The query for the phrase, the form's file type and size condition and the criteria's size limits. Words are cut
// at blanks; a word that starts with "-" is excluded.
AdcSearchQuery AdcQueryFor(std::string_view phrase, const SearchForm& form, const SearchCriteria& criteria);
std::string AdcSearchMessage(std::string_view sid, const AdcSearchQuery& query, std::string_view token);

// ---- What the hub sends.

struct AdcStatus {
    int Severity = 0;  // 0 success, 1 recoverable, 2 fatal
    int Code = 0;      // the two digits after the severity
    std::string Text;  // unescaped
};
std::optional<AdcStatus> ParseAdcStatus(const AdcMessage& message);

// ISID: the SID the hub gives us.
std::optional<std::string_view> ParseAdcSid(const AdcMessage& message);

struct AdcUserInfo {
    std::string_view Sid;
    std::string_view Cid;  // empty when this INF does not carry it (an update)
    std::string Nick;      // unescaped; empty when not carried
    int32_t Slots = -1;    // SL, upload slots; -1 when not carried or unreadable
};
// A user's BINF, ours or another's.
std::optional<AdcUserInfo> ParseAdcUserInfo(const AdcMessage& message);

struct AdcQuit {
    std::string_view Sid;
    std::string Message;   // MS, unescaped; may be empty
    std::string Redirect;  // RD, unescaped; may be empty
};
std::optional<AdcQuit> ParseAdcQuit(const AdcMessage& message);
