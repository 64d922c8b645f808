#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> arguments;
    // For accepted lines: checks of the options; for refused ones: the whole error line.
    std::function<void(const CliOptions&)> check;
    const char* error = nullptr;
};

void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << c.name;
}

class CliParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CliParseTest, LineGivesItsOptionsOrOneErrorLine) {
    const ParseCase& c = GetParam();
    const CliParse parse = ParseCliArguments(c.arguments);
    if (c.error != nullptr) {
        EXPECT_FALSE(parse.options.has_value());
        EXPECT_EQ(parse.error, c.error);
        return;
    }
    ASSERT_TRUE(parse.options.has_value()) << parse.error;
    c.check(*parse.options);
}

void ExpectSearch(const CliOptions& o, const std::string& phrase) {
    EXPECT_EQ(o.command, CliCommand::Search);
    EXPECT_EQ(o.phrase, phrase);
}

void ExpectSize(const CliOptions& o, int condition, const std::string& first, const std::string& second = "") {
    EXPECT_EQ(o.form.sizeCondition, condition);
    EXPECT_EQ(o.form.firstValue, first);
    EXPECT_EQ(o.form.secondValue, second);
    EXPECT_EQ(o.form.firstUnit, 0);
}

const ParseCase kAccepted[] = {
    {"SearchDefaults",
     {"search", "big buck bunny"},
     [](const CliOptions& o) {
         ExpectSearch(o, "big buck bunny");
         EXPECT_EQ(o.form.fileType, 0);
         EXPECT_EQ(o.form.sizeCondition, 0);
         EXPECT_EQ(o.format, OutputFormat::Table);
         EXPECT_FALSE(o.freeSlotsOnly || o.threads || o.timeoutSeconds || o.ports || o.ip || o.mode || o.dataDir);
     }},
    {"EveryOption",
     {"search",    "x",      "--type",    "video",    "--at-least", "700MB",       "--free-slots",
      "--threads", "30",     "--timeout", "15",       "--ports",    "41000-41099", "--ip",
      "10.0.0.2",  "--mode", "passive",   "--format", "json",       "--data-dir",  "/d"},
     [](const CliOptions& o) {
         ExpectSearch(o, "x");
         EXPECT_EQ(o.form.fileType, 6);
         ExpectSize(o, 1, "734003200");
         EXPECT_TRUE(o.freeSlotsOnly);
         EXPECT_EQ(o.threads, 30);
         EXPECT_EQ(o.timeoutSeconds, 15);
         ASSERT_TRUE(o.ports.has_value());
         EXPECT_EQ(o.ports->first, 41000);
         EXPECT_EQ(o.ports->last, 41099);
         EXPECT_EQ(o.ip, "10.0.0.2");
         EXPECT_EQ(o.mode, ConnectionMode::Passive);
         EXPECT_EQ(o.format, OutputFormat::Json);
         EXPECT_EQ(o.dataDir, "/d");
     }},
    {"OptionsBeforeTheCommandAndJoinedValues",
     {"--format=CSV", "--type=TTH", "search", "ABC", "--mode=Automatic"},
     [](const CliOptions& o) {
         ExpectSearch(o, "ABC");
         EXPECT_EQ(o.mode, ConnectionMode::Automatic);
         EXPECT_EQ(o.format, OutputFormat::Csv);
         EXPECT_EQ(o.form.fileType, 8);
     }},
    {"AtMost", {"search", "x", "--at-most", "1.5 GiB"}, [](const CliOptions& o) { ExpectSize(o, 2, "1610612736"); }},
    {"AutoAsEarlierVersionsTookIt",
     {"search", "x", "--mode", "auto"},
     [](const CliOptions& o) { EXPECT_EQ(o.mode, ConnectionMode::Automatic); }},
    {"BetweenKeepsItsOrderForTheCriteria",
     {"search", "x", "--between", "2K", "1"},
     [](const CliOptions& o) { ExpectSize(o, 3, "2048", "1"); }},
    {"SinglePortAndFolderType",
     {"search", "x", "--ports", "5000", "--type", "folder"},
     [](const CliOptions& o) {
         EXPECT_EQ(o.ports->first, 5000);
         EXPECT_EQ(o.ports->last, 5000);
         EXPECT_EQ(o.form.fileType, 7);
     }},
    {"DoubleDashLetsAPhraseStartWithADash",
     {"search", "--", "-x-"},
     [](const CliOptions& o) { ExpectSearch(o, "-x-"); }},
    {"HelpWinsAnywhere",
     {"search", "--bogus", "--help"},
     [](const CliOptions& o) { EXPECT_EQ(o.command, CliCommand::PrintHelp); }},
    {"ShortHelp", {"-h"}, [](const CliOptions& o) { EXPECT_EQ(o.command, CliCommand::PrintHelp); }},
    {"Version", {"--version"}, [](const CliOptions& o) { EXPECT_EQ(o.command, CliCommand::PrintVersion); }},
    {"RefreshWithDataDir",
     {"refresh", "--data-dir", "d"},
     [](const CliOptions& o) {
         EXPECT_EQ(o.command, CliCommand::Refresh);
         EXPECT_EQ(o.dataDir, "d");
     }},
    {"Hubs", {"hubs"}, [](const CliOptions& o) { EXPECT_EQ(o.command, CliCommand::Hubs); }},
};

const ParseCase kRefused[] = {
    {"NoCommand", {}, {}, "no command given (search, refresh or hubs)"},
    {"UnknownCommand", {"find", "x"}, {}, "unknown command 'find' (search, refresh or hubs)"},
    {"NoPhrase", {"search"}, {}, "search needs a phrase"},
    {"EmptyPhrase", {"search", ""}, {}, "search needs a phrase"},
    {"SecondPhrase", {"search", "big", "buck"}, {}, "unexpected argument 'buck' (quote a phrase that holds blanks)"},
    {"ArgumentAfterHubs", {"hubs", "x"}, {}, "unexpected argument 'x'"},
    {"UnknownOption", {"search", "x", "--colour"}, {}, "unknown option '--colour'"},
    {"UnknownJoinedOption", {"search", "x", "--colour=red"}, {}, "unknown option '--colour'"},
    {"ShortOption", {"search", "x", "-t"}, {}, "unknown option '-t'"},
    {"MissingValue", {"search", "x", "--type"}, {}, "--type needs a value"},
    {"MissingSecondSize", {"search", "x", "--between", "1"}, {}, "--between needs two values"},
    {"JoinedValueOfAFlag", {"search", "x", "--free-slots=1"}, {}, "--free-slots takes no value after '='"},
    {"Twice", {"search", "x", "--threads", "2", "--threads", "3"}, {}, "--threads is given twice"},
    {"UnknownType",
     {"search", "x", "--type", "music"},
     {},
     "--type: unknown type 'music' (audio, compressed, document, executable, picture, video, folder or tth)"},
    {"BadSize",
     {"search", "x", "--at-least", "12XB"},
     {},
     "--at-least: '12XB' is not a size (e.g. 700MB, 1.5GiB, 123456)"},
    {"TwoSizeConditions",
     {"search", "x", "--at-least", "1", "--at-most", "2"},
     {},
     "only one of --at-least, --at-most and --between may be given"},
    {"ZeroThreads", {"search", "x", "--threads", "0"}, {}, "--threads: '0' is not a whole number from 1 to 100"},
    {"TooManyThreads", {"search", "x", "--threads", "101"}, {}, "--threads: '101' is not a whole number from 1 to 100"},
    {"HexThreads", {"search", "x", "--threads", "0x10"}, {}, "--threads: '0x10' is not a whole number from 1 to 100"},
    {"NegativeTimeout",
     {"search", "x", "--timeout", "-5"},
     {},
     "--timeout: '-5' is not a whole number of seconds from 1 to 86400"},
    {"ReversedPorts",
     {"search", "x", "--ports", "2000-1000"},
     {},
     "--ports: '2000-1000' is not a port range A-B with 1 <= A <= B <= 65535"},
    {"PortOutOfRange",
     {"search", "x", "--ports", "1-70000"},
     {},
     "--ports: '1-70000' is not a port range A-B with 1 <= A <= B <= 65535"},
    {"HostNameAsIp", {"search", "x", "--ip", "example.org"}, {}, "--ip: 'example.org' is not an IPv4 address"},
    {"UnknownMode",
     {"search", "x", "--mode", "direct"},
     {},
     "--mode: unknown mode 'direct' (automatic, active or passive)"},
    {"UnknownFormat", {"search", "x", "--format", "xml"}, {}, "--format: unknown format 'xml' (table, json or csv)"},
    {"EmptyDataDir", {"hubs", "--data-dir", ""}, {}, "--data-dir: the folder name is empty"},
    {"SearchOptionOnHubs", {"hubs", "--format", "json"}, {}, "--format belongs to search only"},
};

auto CaseName = [](const ::testing::TestParamInfo<ParseCase>& caseInfo) { return std::string(caseInfo.param.name); };

INSTANTIATE_TEST_SUITE_P(Accepted, CliParseTest, ::testing::ValuesIn(kAccepted), CaseName);
INSTANTIATE_TEST_SUITE_P(Refused, CliParseTest, ::testing::ValuesIn(kRefused), CaseName);

TEST(SizeArgumentTest, UnitsCountIn1024sAndAnythingElseIsRefused) {
    const std::pair<const char*, std::optional<int64_t>> cases[] = {
        {"123456", 123456},
        {"0", 0},
        {"10B", 10},
        {"1.9", 1},
        {"1k", 1024},
        {"2 KiB", 2048},
        {"700MB", 734003200},
        {"700 mib", 734003200},
        {"1.5GB", 1610612736},
        {"1.5 GiB", 1610612736},
        {".5M", 524288},
        {"", std::nullopt},
        {"MB", std::nullopt},
        {"-1", std::nullopt},
        {"1e3", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1  MB", std::nullopt},
        {"5TB", std::nullopt},
        {"99999999999G", std::nullopt},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(ParseSizeArgument(text), bytes) << text;
}

}  // namespace
