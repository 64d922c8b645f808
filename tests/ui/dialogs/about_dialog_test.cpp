#include "ui/dialogs/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/support/shell.h"
#include "ui/support/window_placement.h"

namespace {

TEST(AboutDialogTest, ShowsNameAndLinkOpensTheHomePageCloseHides) {
    std::vector<std::string> opened;
    SetShellHook([&opened](const std::string& url) { opened.push_back(url); });
    QWidget mainWindow;
    mainWindow.setGeometry(200, 150, 700, 500);
    mainWindow.show();
    AboutDialog about(&mainWindow);
    EXPECT_EQ(about.windowTitle(), "About Hubsift");
    EXPECT_EQ(about.size(), QSize(331, 273));
    auto* title = about.findChild<QLabel*>("titleLabel");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Hubsift v1.2");
    EXPECT_EQ(title->font().pixelSize(), 17);

    for (int opening = 0; opening < 2; ++opening) {
        about.move(0, 0);
        about.OpenCentredOver(&mainWindow);
        EXPECT_TRUE(about.isVisible());
        EXPECT_EQ(about.pos(), CentredPosition(mainWindow.frameGeometry(), about.frameGeometry().size(), {0, 0}));
        QTest::mouseClick(about.findChild<QLabel*>("homePageLabel"), Qt::LeftButton);
        QTest::mouseClick(about.findChild<QPushButton*>("closeButton"), Qt::LeftButton);
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(opened, std::vector<std::string>(2, kHomePageUrl));
    SetShellHook({});
}

}  // namespace
