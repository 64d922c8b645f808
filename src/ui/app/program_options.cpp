#include "ui/app/program_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

namespace {

std::string Refusal(const QString& reason) {
    return QStringLiteral("hubsift: %1 Try 'hubsift --help'.\n").arg(reason).toStdString();
}

}  // namespace

ProgramOptions ParseProgramOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Searches every hub of a Direct Connect hub list at once and shows the files found."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Keep the settings and the hub list in <dir> instead of $XDG_DATA_HOME/Brindlework/Hubsift."),
        QStringLiteral("dir"));
    parser.addOption(dataDir);

    ProgramOptions options;
    if (!parser.parse(arguments)) {
        options.action = ProgramOptions::Action::Refuse;
        options.output = Refusal(parser.errorText());
    } else if (parser.isSet(QStringLiteral("help-all"))) {
        // Only Qt's own processing knows the text of its options (-platform, -style, …); it prints it and exits.
        parser.process(arguments);
    } else if (parser.isSet(help)) {
        options.action = ProgramOptions::Action::PrintHelp;
        options.output = parser.helpText().toStdString();
    } else if (parser.isSet(version)) {
        options.action = ProgramOptions::Action::PrintVersion;
        options.output =
            (QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion() + '\n').toStdString();
    } else if (!parser.positionalArguments().isEmpty()) {
        options.action = ProgramOptions::Action::Refuse;
        options.output = Refusal(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]));
    } else if (parser.isSet(dataDir)) {
        const QString folder = parser.value(dataDir);
        if (folder.isEmpty()) {
            options.action = ProgramOptions::Action::Refuse;
            options.output = Refusal(QStringLiteral("--data-dir needs a folder."));
        } else {
            options.dataDir = QFile::encodeName(folder).toStdString();
        }
    }
    return options;
}
