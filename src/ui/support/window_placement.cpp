#include "ui/support/window_placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint CentredPosition(const QRect& owner, const QSize& dialog, const QPoint& desktopTopLeft) {
    const int left = owner.left() + (owner.width() - dialog.width()) / 2;
    const int top = owner.top() + (owner.height() - dialog.height()) / 2;
    return {std::max(left, desktopTopLeft.x()), std::max(top, desktopTopLeft.y())};
}

void CentreOver(QWidget* dialog, const QWidget* owner) {
    if (owner == nullptr) return;
    const QScreen* screen = owner->screen();
    const QPoint desktopTopLeft = screen != nullptr ? screen->virtualGeometry().topLeft() : QPoint(0, 0);
    // Before its first showing a dialog has no frame yet, so its frame size is its client size.
    dialog->move(CentredPosition(owner->frameGeometry(), dialog->frameGeometry().size(), desktopTopLeft));
}

void ShowInFront(QWidget* dialog, const QWidget* centreOver) {
    CentreOver(dialog, centreOver);
    dialog->show();
    // The first showing gives the window its frame, which changes its outer size: centre again.
    CentreOver(dialog, centreOver);
    dialog->raise();
    dialog->activateWindow();
}
