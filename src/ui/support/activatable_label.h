#pragma once

#include <QLabel>

// A label that works as a link: a click, or Enter or Space while it has the focus, activates it. It takes the
// focus with Tab and underlines its text under the mouse or the focus, so it can be found and used without a mouse.
class ActivatableLabel : public QLabel {
    Q_OBJECT

public:
    explicit ActivatableLabel(QWidget* parent = nullptr);

signals:
    void Activated();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
