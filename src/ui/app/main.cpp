#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <optional>

#include "engine/sys/stderr_log.h"
#include "ui/app/hubsift_program.h"
#include "ui/app/program_options.h"
#include "ui/support/hint_style.h"
#include "ui/support/termination_signals.h"

namespace {

// Without a display Qt aborts with advice to reinstall; say what is missing instead (typically SSH without X
// forwarding). A platform chosen in QT_QPA_PLATFORM (offscreen, vnc, ...) needs no display.
bool GraphicalSessionMissing() {
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Reads the command line of the application object that exists.
ProgramOptions ReadOptions() {
    QCoreApplication::setApplicationName(QStringLiteral("Hubsift"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HUBSIFT_VERSION));
    return ParseProgramOptions(QCoreApplication::arguments());
}

// Prints the help, the version or the refusal and gives the exit code; nullopt when the window is to open.
std::optional<int> AnswerWithoutWindow(const ProgramOptions& options) {
    switch (options.action) {
        case ProgramOptions::Action::PrintHelp:
        case ProgramOptions::Action::PrintVersion:
            std::fputs(options.output.c_str(), stdout);
            return 0;
        case ProgramOptions::Action::Refuse:
            std::fputs(options.output.c_str(), stderr);
            return 2;
        case ProgramOptions::Action::Run:
            break;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (GraphicalSessionMissing()) {
        // --help and --version need no display.
        const QCoreApplication app(argc, argv);
        if (const std::optional<int> exitCode = AnswerWithoutWindow(ReadOptions())) return *exitCode;
        std::fputs(
            "Hubsift needs a graphical session, and none was found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
            "Start it from the desktop, or over SSH with X forwarding (ssh -X).\n",
            stderr);
        return 1;
    }
    const StderrLog log("hubsift");
    // Windows and dialogs are laid out in fixed pixels.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    const ProgramOptions options = ReadOptions();
    if (const std::optional<int> exitCode = AnswerWithoutWindow(options)) return *exitCode;
    // The desktop id ties the windows to the menu entry and its icon (Wayland's app id); installed, the icon theme
    // holds the icon under the same name.
    QGuiApplication::setDesktopFileName(QStringLiteral(HUBSIFT_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(HUBSIFT_APP_ID)));
    QApplication::setStyle(new HintStyle);
    // SIGTERM and SIGINT close the windows as the user would, so every background thread ends in its order.
    const TerminationSignals termination([] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    HubsiftProgram program(options.dataDir, PortMapperConfig{});
    if (!program.Start()) return 1;
    return QApplication::exec();
}
