#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "engine/settings/app_settings.h"
#include "ui/app/main_window.h"
#include "ui/app/result_list_controls.h"
#include "ui/results/result_list_view.h"

namespace {

struct Geometry {
    QRect edit1, button1, button4, combo4, freeSlots, label4, list, progress, filter, group, exportButton;
};

Geometry LayOut(int width, int height) {
    AppSettings settings;
    std::string pending;
    MainWindow window(settings, pending, "/nonexistent");
    window.resize(width, height);
    window.ApplyResizeRules();
    return {window.m_phraseEdit->geometry(),
            window.m_searchButton->geometry(),
            window.m_aboutButton->geometry(),
            window.m_upperSizeUnitBox->geometry(),
            window.m_freeSlotsCheck->geometry(),
            window.m_resultCountLabel->geometry(),
            window.m_resultList->geometry(),
            window.m_progressBar->geometry(),
            window.m_resultControls->m_filterEdit->geometry(),
            window.m_resultControls->m_groupCheck->geometry(),
            window.m_resultControls->m_exportButton->geometry()};
}

// The list on top, the band of controls below it, the progress bar at the bottom across the window.
TEST(MainWindowLayoutTest, DesignSizeAttachesTheBottomBandAndStretchesTheList) {
    const Geometry g = LayOut(949, 655);
    EXPECT_EQ(g.edit1.top(), g.combo4.top()) << "the phrase and the size boxes share the band's first line";
    EXPECT_LT(g.edit1.right(), g.button1.left());
    EXPECT_LT(g.button1.bottom(), g.freeSlots.top());
    EXPECT_LT(g.freeSlots.bottom(), g.progress.top());
    EXPECT_LT(g.button4.bottom(), g.progress.top());
    EXPECT_EQ(g.list.left(), g.progress.left());
    EXPECT_EQ(g.list.right(), g.progress.right());
    EXPECT_LT(655 - g.progress.bottom(), 10) << "the bar ends just above the window's bottom";
    // The strip: the filter box from the list's left edge, the toggle and Export ending at its right edge, all
    // between the list and the search form.
    EXPECT_EQ(g.filter.left(), g.list.left());
    EXPECT_GT(g.filter.top(), g.list.bottom());
    EXPECT_LT(g.filter.right(), g.group.left());
    EXPECT_LT(g.group.right(), g.exportButton.left());
    EXPECT_EQ(g.exportButton.right(), g.list.right());
    EXPECT_LT(g.exportButton.bottom(), g.button1.top());
}

TEST(MainWindowLayoutTest, TallerMovesTheBandDownAndWiderStretchesOnlyListAndBar) {
    const Geometry design = LayOut(949, 655);
    const Geometry taller = LayOut(949, 855);
    EXPECT_EQ(taller.edit1, design.edit1.translated(0, 200));
    EXPECT_EQ(taller.button4, design.button4.translated(0, 200));
    EXPECT_EQ(taller.label4, design.label4.translated(0, 200));
    EXPECT_EQ(taller.list.height(), design.list.height() + 200);
    EXPECT_EQ(taller.progress, design.progress.translated(0, 200));
    EXPECT_EQ(taller.filter, design.filter.translated(0, 200));
    EXPECT_EQ(taller.exportButton, design.exportButton.translated(0, 200));

    const Geometry wider = LayOut(1249, 655);
    EXPECT_EQ(wider.edit1, design.edit1);
    EXPECT_EQ(wider.button4, design.button4);
    EXPECT_EQ(wider.combo4, design.combo4);
    EXPECT_EQ(wider.list.width(), design.list.width() + 300);
    EXPECT_EQ(wider.progress.width(), design.progress.width() + 300);
    EXPECT_EQ(wider.filter.width(), design.filter.width() + 300) << "the filter box takes the width";
    EXPECT_EQ(wider.exportButton, design.exportButton.translated(300, 0));
}

TEST(MainWindowLayoutTest, SizeConditionEnablesItsValueBoxesWithoutClearingThem) {
    AppSettings settings;
    std::string pending;
    MainWindow window(settings, pending, "/nonexistent");
    window.m_upperSizeEdit->setText(QStringLiteral("stale"));
    const struct {
        int condition;
        bool first, second;
    } cases[] = {{1, true, false}, {2, true, false}, {3, true, true}, {0, false, false}};
    for (const auto& c : cases) {
        window.m_sizeConditionBox->setCurrentIndex(c.condition);
        EXPECT_EQ(window.m_sizeEdit->isEnabled(), c.first) << c.condition;
        EXPECT_EQ(window.m_sizeUnitBox->isEnabled(), c.first) << c.condition;
        EXPECT_EQ(window.m_upperSizeEdit->isEnabled(), c.second) << c.condition;
        EXPECT_EQ(window.m_upperSizeUnitBox->isEnabled(), c.second) << c.condition;
        EXPECT_EQ(window.m_upperSizeEdit->text(), QStringLiteral("stale"));
    }
}

}  // namespace
