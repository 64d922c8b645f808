#include "ui/support/hint_style.h"

int HintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay || hint == QStyle::SH_ToolTip_FallAsleepDelay) return 500;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
