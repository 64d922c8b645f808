#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

// The windows' designed look: a fixed font and controls at fixed pixel bounds, not scaled with the screen.

// Tahoma at a character height in pixels, or a font with Arial's metrics where Tahoma is missing.
QFont DesignFont(int pixelSize = 12);

// A dialog frame of a fixed client size with a title and a close box only, above its owner window.
void UseFixedDialogFrame(QWidget* dialog, int width, int height);

// A child control with its designer name as object name (tests find it by that name), at its design bounds.
template <typename Control>
Control* PlaceControl(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}
