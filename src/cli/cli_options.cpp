#include "cli/cli_options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

#include "engine/search/search_runner.h"

namespace {

constexpr int32_t kMaxTimeoutSeconds = 86400;

// The window's file type list in order (its index is SearchForm::fileType); "any" is the default.
constexpr std::array<std::string_view, 9> kFileTypes = {"any",     "audio", "compressed", "document", "executable",
                                                        "picture", "video", "folder",     "tth"};

using Values = std::vector<std::string_view>;
using Apply = std::function<std::optional<std::string>(CliOptions&, const Values&)>;

struct OptionRule {
    std::string_view name;
    int valueCount;
    bool searchOnly;
    Apply apply;
};

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Digits only: no sign, blanks or hexadecimal, which a script never means.
std::optional<int32_t> WholeNumber(std::string_view text, int32_t low, int32_t high) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || error != std::errc() || end != text.data() + text.size()) return {};
    if (value < low || value > high) return {};
    return value;
}

std::optional<std::string> SetSizeCondition(CliOptions& options, int condition, std::string_view name,
                                            const Values& values) {
    if (options.form.sizeCondition != kAnyFileSize)
        return std::string("only one of --at-least, --at-most and --between may be given");
    for (std::string_view value : values) {
        if (!ParseSizeArgument(value))
            return "--" + std::string(name) + ": " + Quoted(value) + " is not a size (e.g. 700MB, 1.5GiB, 123456)";
    }
    options.form.sizeCondition = condition;
    options.form.firstValue = std::to_string(*ParseSizeArgument(values[0]));
    options.form.firstUnit = 0;
    if (values.size() > 1) {
        options.form.secondValue = std::to_string(*ParseSizeArgument(values[1]));
        options.form.secondUnit = 0;
    }
    return {};
}

std::optional<std::string> SetPorts(CliOptions& options, const Values& values) {
    const std::string_view text = values[0];
    const std::size_t dash = text.find('-');
    const std::optional<int32_t> first = WholeNumber(text.substr(0, dash), 1, 65535);
    const std::optional<int32_t> last =
        dash == std::string_view::npos ? first : WholeNumber(text.substr(dash + 1), 1, 65535);
    if (!first || !last || *first > *last)
        return "--ports: " + Quoted(text) + " is not a port range A-B with 1 <= A <= B <= 65535";
    options.ports = PortRange{*first, *last};
    return {};
}

// Picks value's position in names, case-insensitively.
template <std::size_t N>
std::optional<int> Choice(std::string_view value, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (EqualsIgnoringCase(value, names[i])) return static_cast<int>(i);
    }
    return {};
}

const std::vector<OptionRule>& Rules() {
    static const std::vector<OptionRule> rules = {
        {"type", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             const std::optional<int> type = Choice(v[0], kFileTypes);
             if (!type)
                 return "--type: unknown type " + Quoted(v[0]) +
                        " (audio, compressed, document, executable, picture, video, folder or tth)";
             o.form.fileType = *type;
             return {};
         }},
        {"at-least", 1, true,
         [](CliOptions& o, const Values& v) { return SetSizeCondition(o, kAtLeast, "at-least", v); }},
        {"at-most", 1, true, [](CliOptions& o, const Values& v) { return SetSizeCondition(o, kAtMost, "at-most", v); }},
        {"between", 2, true,
         [](CliOptions& o, const Values& v) { return SetSizeCondition(o, kBetween, "between", v); }},
        {"free-slots", 0, true,
         [](CliOptions& o, const Values&) -> std::optional<std::string> {
             o.freeSlotsOnly = true;
             return {};
         }},
        {"threads", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             o.threads = WholeNumber(v[0], 1, SearchRunner::MaxThreads);
             if (!o.threads)
                 return "--threads: " + Quoted(v[0]) + " is not a whole number from 1 to " +
                        std::to_string(SearchRunner::MaxThreads);
             return {};
         }},
        {"timeout", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             o.timeoutSeconds = WholeNumber(v[0], 1, kMaxTimeoutSeconds);
             if (!o.timeoutSeconds)
                 return "--timeout: " + Quoted(v[0]) + " is not a whole number of seconds from 1 to " +
                        std::to_string(kMaxTimeoutSeconds);
             return {};
         }},
        {"ports", 1, true, SetPorts},
        {"ip", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             in_addr address{};
             if (inet_pton(AF_INET, std::string(v[0]).c_str(), &address) != 1)
                 return "--ip: " + Quoted(v[0]) + " is not an IPv4 address";
             o.ip = std::string(v[0]);
             return {};
         }},
        {"mode", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             // In ConnectionMode's order; "auto" as earlier versions took it.
             const std::optional<int> mode =
                 Choice(v[0], std::array<std::string_view, 4>{"automatic", "active", "passive", "auto"});
             if (!mode) return "--mode: unknown mode " + Quoted(v[0]) + " (automatic, active or passive)";
             o.mode = *mode == 3 ? ConnectionMode::Automatic : static_cast<ConnectionMode>(*mode);
             return {};
         }},
        {"format", 1, true,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             const std::optional<int> format = Choice(v[0], std::array<std::string_view, 3>{"table", "json", "csv"});
             if (!format) return "--format: unknown format " + Quoted(v[0]) + " (table, json or csv)";
             o.format = static_cast<OutputFormat>(*format);
             return {};
         }},
        {"data-dir", 1, false,
         [](CliOptions& o, const Values& v) -> std::optional<std::string> {
             if (v[0].empty()) return std::string("--data-dir: the folder name is empty");
             o.dataDir = std::string(v[0]);
             return {};
         }},
    };
    return rules;
}

const OptionRule* FindRule(std::string_view name) {
    for (const OptionRule& rule : Rules()) {
        if (rule.name == name) return &rule;
    }
    return nullptr;
}

std::optional<CliCommand> FindCommand(std::string_view word) {
    if (word == "search") return CliCommand::Search;
    if (word == "refresh") return CliCommand::Refresh;
    if (word == "hubs") return CliCommand::Hubs;
    return {};
}

// The command line split into words that are options and words that are not, checked option by option.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : m_arguments(arguments) {}

    CliParse Read() {
        for (const std::string& word : m_arguments) {
            if (word == "--") break;
            if (word == "--help" || word == "-h") return Done(CliCommand::PrintHelp);
            if (word == "--version") return Done(CliCommand::PrintVersion);
        }
        while (m_next < m_arguments.size()) {
            if (const std::optional<std::string> error = ReadWord()) return {std::nullopt, *error};
        }
        return Finish();
    }

private:
    CliParse Done(CliCommand command) {
        m_options.command = command;
        return {m_options, ""};
    }

    std::optional<std::string> ReadWord() {
        const std::string_view word = m_arguments[m_next++];
        if (m_optionsEnded || word.size() < 2 || word[0] != '-') return ReadPositional(word);
        if (word == "--") {
            m_optionsEnded = true;
            return {};
        }
        if (!word.starts_with("--")) return "unknown option " + Quoted(word);
        const std::size_t equals = word.find('=');
        const std::string_view name = word.substr(2, equals == std::string_view::npos ? equals : equals - 2);
        const OptionRule* rule = FindRule(name);
        if (rule == nullptr) return "unknown option " + Quoted("--" + std::string(name));
        if (std::find(m_seen.begin(), m_seen.end(), rule) != m_seen.end())
            return "--" + std::string(name) + " is given twice";
        m_seen.push_back(rule);
        Values values;
        if (equals != std::string_view::npos) {
            if (rule->valueCount != 1) return "--" + std::string(name) + " takes no value after '='";
            values.push_back(word.substr(equals + 1));
        }
        while (static_cast<int>(values.size()) < rule->valueCount) {
            if (m_next >= m_arguments.size())
                return "--" + std::string(name) + " needs " + (rule->valueCount == 1 ? "a value" : "two values");
            values.push_back(m_arguments[m_next++]);
        }
        return rule->apply(m_options, values);
    }

    std::optional<std::string> ReadPositional(std::string_view word) {
        if (!m_command) {
            m_command = FindCommand(word);
            if (!m_command) return "unknown command " + Quoted(word) + " (search, refresh or hubs)";
            return {};
        }
        if (*m_command == CliCommand::Search && !m_hasPhrase) {
            m_options.phrase = word;
            m_hasPhrase = true;
            return {};
        }
        return "unexpected argument " + Quoted(word) +
               (*m_command == CliCommand::Search ? " (quote a phrase that holds blanks)" : "");
    }

    CliParse Finish() {
        if (!m_command) return {std::nullopt, "no command given (search, refresh or hubs)"};
        if (*m_command == CliCommand::Search && m_options.phrase.empty())
            return {std::nullopt, "search needs a phrase"};
        for (const OptionRule* rule : m_seen) {
            if (rule->searchOnly && *m_command != CliCommand::Search)
                return {std::nullopt, "--" + std::string(rule->name) + " belongs to search only"};
        }
        return Done(*m_command);
    }

    const std::vector<std::string>& m_arguments;
    std::size_t m_next = 0;
    bool m_optionsEnded = false;
    bool m_hasPhrase = false;
    std::optional<CliCommand> m_command;
    std::vector<const OptionRule*> m_seen;
    CliOptions m_options;
};

}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& arguments) {
    return ArgumentReader(arguments).Read();
}

std::optional<int64_t> ParseSizeArgument(std::string_view text) {
    const std::size_t numberEnd = text.find_first_not_of("0123456789.");
    const std::string_view number = text.substr(0, numberEnd);
    std::string_view unit = numberEnd == std::string_view::npos ? std::string_view() : text.substr(numberEnd);
    if (unit.starts_with(' ')) unit.remove_prefix(1);
    if (number.empty() || number == ".") return {};
    constexpr std::array<std::array<std::string_view, 3>, 4> kUnits = {{
        {"", "B", "B"},
        {"K", "KB", "KiB"},
        {"M", "MB", "MiB"},
        {"G", "GB", "GiB"},
    }};
    for (std::size_t index = 0; index < kUnits.size(); ++index) {
        if (!Choice(unit, kUnits[index])) continue;
        const int64_t bytes = ParseSizeValue(number, static_cast<int>(index));
        if (bytes < 0) return {};
        return bytes;
    }
    return {};
}

std::string CliUsage() {
    return R"(Usage: hubsift-cli COMMAND [OPTIONS]
Searches every hub of a Direct Connect hub list at once, from scripts and terminals.

Commands:
  search PHRASE          search for PHRASE and print the files found as they arrive
  refresh                download the hub list from the stored address
  hubs                   print the stored hub list, one hub per line

Options of search:
  --type TYPE            audio, compressed, document, executable, picture, video, folder or tth
  --at-least SIZE        only files of at least SIZE (700MB, 1.5GiB, 123456; units count in 1024s)
  --at-most SIZE         only files of at most SIZE
  --between SIZE SIZE    only files between the two sizes
  --free-slots           only results whose user has a free upload slot
  --threads N            connect to N hubs at a time (1-100)
  --timeout S            give each hub S seconds
  --ports A-B            receive results on a UDP port from A to B
  --ip ADDR              the IPv4 address other users send results to (implies --mode active)
  --mode MODE            how results come: automatic (the window's default), active or passive
  --format FORMAT        table (default), json (one object per line) or csv

Options of every command:
  --data-dir DIR         keep the settings and the hub list in DIR
  -h, --help             print this help
  --version              print the version

Settings not given come from the window's settings file. See hubsift-cli(1).
)";
}
