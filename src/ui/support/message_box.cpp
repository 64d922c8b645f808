#include "ui/support/message_box.h"

#include <QMessageBox>

#include "ui/support/gui_text.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

void ShowMessage(const std::string& text, MessageIcon icon, QWidget* parent) {
    if (Hook()) {
        Hook()(text, icon);
        return;
    }
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, QStringLiteral("Hubsift"),
                    ToQString(text), QMessageBox::Ok, parent);
    // Users copy addresses, paths and errors from the box.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}
