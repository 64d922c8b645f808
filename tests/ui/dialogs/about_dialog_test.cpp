#include "ui/dialogs/about_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/support/message_box.h"
#include "ui/support/shell.h"
#include "ui/support/window_placement.h"

namespace {

TEST(AboutDialogTest, ShowsNameAndLinkOpensTheHomePageCloseHides) {
    std::vector<std::string> opened;
    SetShellHook([&opened](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    QWidget mainWindow;
    mainWindow.setGeometry(200, 150, 700, 500);
    mainWindow.show();
    AboutDialog about(&mainWindow);
    EXPECT_EQ(about.windowTitle(), "About Hubsift");
    auto* title = about.findChild<QLabel*>("titleLabel");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Hubsift v" HUBSIFT_VERSION);

    // Closed by a click, then by Enter.
    for (int opening = 0; opening < 2; ++opening) {
        about.move(0, 0);
        about.OpenCentredOver(&mainWindow);
        EXPECT_TRUE(about.isVisible());
        EXPECT_EQ(about.pos(), CentredPosition(mainWindow.frameGeometry(), about.frameGeometry().size(), {0, 0}));
        QTest::mouseClick(about.findChild<QLabel*>("homePageLabel"), Qt::LeftButton);
        auto* close = about.findChild<QPushButton*>("closeButton");
        if (opening == 0) {
            QTest::mouseClick(close, Qt::LeftButton);
        } else {
            ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
            close->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        EXPECT_FALSE(about.isVisible()) << opening;
    }
    EXPECT_EQ(opened, std::vector<std::string>(2, kHomePageUrl));
    SetShellHook({});
}

TEST(AboutDialogTest, LinkWithoutAnOpenerShowsTheAddress) {
    std::vector<std::string> messages;
    SetShellHook([](const std::string&) { return false; });
    SetMessageBoxHook([&messages](const std::string& text, MessageIcon) { messages.push_back(text); });
    AboutDialog about(nullptr);
    about.show();
    QTest::mouseClick(about.findChild<QLabel*>("homePageLabel"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(std::string("\n") + kHomePageUrl + "\n"), std::string::npos) << messages[0];
    SetShellHook({});
    SetMessageBoxHook({});
}

}  // namespace
