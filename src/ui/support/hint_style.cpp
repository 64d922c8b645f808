#include "ui/support/hint_style.h"

namespace {

constexpr int kHintPauseMs = 500;

}  // namespace

HintStyle::HintStyle(std::chrono::milliseconds displayTime) : m_displayTimeMs(static_cast<int>(displayTime.count())) {}

int HintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    // The custom hint lies outside the enumeration, so it cannot be a case of the switch.
    if (hint == kHintDisplayTime) return m_displayTimeMs;
    switch (hint) {
        case QStyle::SH_ToolTip_WakeUpDelay:
            return kHintPauseMs;
        case QStyle::SH_ToolTip_FallAsleepDelay:
            // Qt shows the next tip after 20 ms while this window, opened by each shown tip, lasts: none at all.
            return 0;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}
