#include "ui/support/message_box.h"

#include <QMessageBox>

#include "ui/support/gui_text.h"

namespace {

DetailedMessageBoxHook& Hook() {
    static DetailedMessageBoxHook hook;
    return hook;
}

}  // namespace

void ShowMessage(const std::string& text, MessageIcon icon, QWidget* parent, const std::string& details) {
    if (Hook()) {
        Hook()(text, details, icon);
        return;
    }
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, QStringLiteral("Hubsift"),
                    ToQString(text), QMessageBox::Ok, parent);
    // Users copy addresses, paths and errors from the box.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!details.empty()) box.setDetailedText(ToQString(details));
    box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook) {
    if (!hook) return SetDetailedMessageBoxHook({});
    SetDetailedMessageBoxHook(
        [hook = std::move(hook)](const std::string& text, const std::string&, MessageIcon icon) { hook(text, icon); });
}

void SetDetailedMessageBoxHook(DetailedMessageBoxHook hook) {
    Hook() = std::move(hook);
}
