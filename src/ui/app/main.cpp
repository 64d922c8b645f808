#include <QApplication>

#include "ui/app/hubsift_program.h"
#include "ui/support/hint_style.h"

int main(int argc, char** argv) {
    // Windows and dialogs are laid out in fixed pixels.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Hubsift"));
    QApplication::setStyle(new HintStyle);
    HubsiftProgram program;
    if (!program.Start()) return 1;
    return QApplication::exec();
}
