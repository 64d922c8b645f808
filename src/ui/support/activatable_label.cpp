#include "ui/support/activatable_label.h"

#include <QKeyEvent>
#include <QMouseEvent>

ActivatableLabel::ActivatableLabel(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setStyleSheet(QStringLiteral("QLabel:hover, QLabel:focus { text-decoration: underline; }"));
}

void ActivatableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Activated();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void ActivatableLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            emit Activated();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}
