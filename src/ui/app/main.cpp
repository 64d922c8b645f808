#include <QApplication>

#include <cstdio>

#include "ui/app/hubsift_program.h"
#include "ui/support/hint_style.h"

namespace {

// Without a display Qt aborts with advice to reinstall; say what is missing instead (typically SSH without X
// forwarding). A platform chosen in QT_QPA_PLATFORM (offscreen, vnc, ...) needs no display.
bool GraphicalSessionMissing() {
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (GraphicalSessionMissing()) {
        std::fputs(
            "Hubsift needs a graphical session, and none was found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
            "Start it from the desktop, or over SSH with X forwarding (ssh -X).\n",
            stderr);
        return 1;
    }
    // Windows and dialogs are laid out in fixed pixels.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Hubsift"));
    QApplication::setStyle(new HintStyle);
    HubsiftProgram program;
    if (!program.Start()) return 1;
    return QApplication::exec();
}
