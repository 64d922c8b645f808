#pragma once

#include <QStringList>

#include <optional>
#include <string>

// What the window program's command line asks for.
struct ProgramOptions {
    enum class Action { Run, PrintHelp, PrintVersion, Refuse };
    Action action = Action::Run;
    std::optional<std::string> dataDir;  // --data-dir, as typed (bytes as the file system holds them)
    std::string output;  // the help or version text for stdout, or the one-line refusal for stderr, newline-ended
};

// Parses the arguments left after QApplication took its own (arguments[0] is the program). Needs the application
// name and version set on QCoreApplication.
ProgramOptions ParseProgramOptions(const QStringList& arguments);
