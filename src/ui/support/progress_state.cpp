#include "ui/support/progress_state.h"

#include <QProgressBar>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace {

const char* const kStateProperty = "hubsiftProgressState";
const char* const kMaximumProperty = "hubsiftProgressMaximum";

}  // namespace

void SetProgressState(QProgressBar* bar, ProgressState state) {
    bar->setProperty(kStateProperty, static_cast<int>(state));
    switch (state) {
        case ProgressState::Normal:
            bar->setStyleSheet(QString());
            break;
        case ProgressState::Error:
            bar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #d42b2b; }"));
            break;
        case ProgressState::Paused:
            bar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #e8c21a; }"));
            break;
    }
}

ProgressState GetProgressState(const QProgressBar* bar) {
    const QVariant value = bar->property(kStateProperty);
    return value.isValid() ? static_cast<ProgressState>(value.toInt()) : ProgressState::Normal;
}

void SetProgressMaximum(QProgressBar* bar, long long maximum) {
    bar->setProperty(kMaximumProperty, maximum);
    const int clamped = static_cast<int>(std::clamp<long long>(maximum, 1, std::numeric_limits<int>::max()));
    bar->setRange(0, clamped);
}

long long ProgressMaximum(const QProgressBar* bar) {
    return bar->property(kMaximumProperty).toLongLong();
}
