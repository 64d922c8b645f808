#include "ui/app/program_options.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <ostream>

namespace {

using Action = ProgramOptions::Action;

struct OptionsCase {
    const char* name;
    QStringList arguments;  // after the program name
    Action action;
    const char* output;  // a part of the text printed
    const char* dataDir = nullptr;
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgramOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ProgramOptionsTest, ArgumentsGiveTheirActionAndText) {
    const OptionsCase& c = GetParam();
    QCoreApplication::setApplicationName(QStringLiteral("Hubsift"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HUBSIFT_VERSION));
    const ProgramOptions options = ParseProgramOptions(QStringList{QStringLiteral("hubsift")} + c.arguments);
    EXPECT_EQ(options.action, c.action);
    EXPECT_NE(options.output.find(c.output), std::string::npos) << options.output;
    if (c.action == Action::Refuse) {
        EXPECT_EQ(options.output.find('\n'), options.output.size() - 1) << "one line";
    }
    EXPECT_EQ(options.dataDir, c.dataDir ? std::optional<std::string>(c.dataDir) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ProgramOptionsTest,
    ::testing::Values(
        OptionsCase{"Nothing", {}, Action::Run, ""},
        OptionsCase{"DataDir", {"--data-dir", "/tmp/x y"}, Action::Run, "", "/tmp/x y"},
        OptionsCase{"DataDirJoined", {"--data-dir=rel/dir"}, Action::Run, "", "rel/dir"},
        OptionsCase{"Help", {"--help"}, Action::PrintHelp, "--data-dir <dir>"},
        OptionsCase{"ShortHelp", {"-h"}, Action::PrintHelp, "--version"},
        OptionsCase{"Version", {"--version"}, Action::PrintVersion, "Hubsift " HUBSIFT_VERSION "\n"},
        OptionsCase{"UnknownOption", {"--bogus"}, Action::Refuse, "hubsift: Unknown option 'bogus'."},
        OptionsCase{"DataDirWithoutFolder", {"--data-dir"}, Action::Refuse, "Missing value after '--data-dir'."},
        OptionsCase{"EmptyDataDir", {"--data-dir="}, Action::Refuse, "--data-dir needs a folder."},
        OptionsCase{"StrayArgument", {"big buck bunny"}, Action::Refuse, "Unexpected argument 'big buck bunny'."}),
    [](const ::testing::TestParamInfo<OptionsCase>& test) { return std::string(test.param.name); });

}  // namespace
