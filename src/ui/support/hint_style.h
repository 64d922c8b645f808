#pragma once

#include <QProxyStyle>

#include <chrono>

// The program's tool tip timings: a tip appears 500 ms after the pointer rests on a control, and again 500 ms after
// it moves on to another one while a tip shows (Qt's own rule shows the next one after 20 ms); it stays up for the
// display time however long its text is (Qt's own rule keeps long texts up longer).
class HintStyle final : public QProxyStyle {
public:
    // How long a tip stays up, in milliseconds, for QToolTip::showText; other styles answer 0, Qt's own rule.
    static constexpr StyleHint kHintDisplayTime = static_cast<StyleHint>(SH_CustomBase + 1);

    explicit HintStyle(std::chrono::milliseconds displayTime = std::chrono::seconds(10));

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    const int m_displayTimeMs;
};
