#include "cli/cli_program.h"

#include "cli/cli_options.h"
#include "cli/console_signals.h"
#include "cli/hub_list_commands.h"
#include "cli/search_command.h"
#include "engine/settings/settings_store.h"
#include "engine/sys/data_dir.h"

namespace {

constexpr int kFailedExit = 1;
constexpr int kUsageExit = 2;

AppDataDirResult PrepareDataDir(const CliOptions& options) {
    return options.dataDir ? PrepareChosenDataDir(*options.dataDir) : PrepareAppDataDirFromEnvironment();
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, const CliStreams& streams) {
    if (arguments.empty()) {
        streams.err << CliUsage();
        return kUsageExit;
    }
    const CliParse parse = ParseCliArguments(arguments);
    if (!parse.options) {
        streams.err << "hubsift-cli: " << parse.error << " (see hubsift-cli --help)\n";
        return kUsageExit;
    }
    const CliOptions& options = *parse.options;
    switch (options.command) {
        case CliCommand::PrintHelp:
            streams.out << CliUsage();
            return 0;
        case CliCommand::PrintVersion:
            streams.out << "hubsift-cli " HUBSIFT_VERSION "\n";
            return 0;
        default:
            break;
    }
    const AppDataDirResult dataDir = PrepareDataDir(options);
    if (!dataDir.path) {
        streams.err << "hubsift-cli: " << dataDir.error << '\n';
        return kFailedExit;
    }
    const AppSettings settings = LoadSettings(*dataDir.path + "/Hubsift.ini");
    ConsoleSignals signals;
    switch (options.command) {
        case CliCommand::Hubs:
            return ListHubs(*dataDir.path, streams.out, streams.err);
        case CliCommand::Refresh:
            return RefreshHubList(settings.HublistURL, *dataDir.path, signals, streams.out, streams.err,
                                  streams.errIsTerminal);
        default:
            return RunSearch(options, settings, *dataDir.path, signals, streams);
    }
}
