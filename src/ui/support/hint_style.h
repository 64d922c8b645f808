#pragma once

#include <QProxyStyle>

// Tool tips appear 500 ms after the pointer rests on a control and again 500 ms after it moves on to another one
// while a tip shows; Qt already hides them after 10 s.
class HintStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
