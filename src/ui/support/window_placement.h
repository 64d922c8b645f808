#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Top-left of a dialog centred over its owner (outer frames): owner left + (owner width - dialog width) / 2,
// truncated toward zero, the same for the top; never left of or above the desktop's top-left corner.
QPoint CentredPosition(const QRect& owner, const QSize& dialog, const QPoint& desktopTopLeft);

// Moves dialog to CentredPosition over owner on owner's virtual desktop; without an owner nothing moves.
void CentreOver(QWidget* dialog, const QWidget* owner);

// Shows dialog and brings it to the front; centred over centreOver unless that is null, in which case it stays
// where it was.
void ShowInFront(QWidget* dialog, const QWidget* centreOver);
