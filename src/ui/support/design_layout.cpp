#include "ui/support/design_layout.h"

#include <QStringList>

QFont DesignFont(int pixelSize) {
    QFont font(QStringLiteral("Tahoma"));
    // The layout was drawn for Tahoma; fonts with Arial's metrics are a little narrower, so texts still fit.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

void UseFixedDialogFrame(QWidget* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
}
