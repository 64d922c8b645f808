#include "platform/design_layout.h"

QFont DesignFont(int pixelSize) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}
