#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolTip>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "ui/results/icon_cache.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"
#include "ui/support/hint_style.h"

namespace {

SearchResult Make(std::string fileName, int64_t size = 1, std::string path = "p\\", int32_t freeSlots = 1) {
    SearchResult r;
    r.FileName = std::move(fileName);
    r.Size = size;
    r.SizeText = size == -1 ? "<DIR>" : "";
    r.FreeSlots = freeSlots;
    r.TotalSlots = 5;
    r.SlotsText = std::to_string(freeSlots) + "/5";
    r.User = "user";
    r.HubAddress = "127.0.0.1:411";
    r.Path = std::move(path);
    return r;
}

QStringList Column(const ResultModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) texts << model.CellText(row, column);
    return texts;
}

class ResultListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<ResultListView>();
        view->resize(1000, 400);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QPoint CellCenter(int row, int column) const {
        return view->visualRect(view->Model()->index(row, column)).center();
    }

    QLineEdit* Editor() const { return view->viewport()->findChild<QLineEdit*>(); }

    void ContextMenuAt(QPoint position) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, position, view->viewport()->mapToGlobal(position));
        QApplication::sendEvent(view->viewport(), &event);
    }

    void ClickHeader(int column) {
        QHeaderView* header = view->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    std::unique_ptr<ResultListView> view;
};

TEST_F(ResultListViewTest, IsSetUpAsTheResultList) {
    EXPECT_EQ(view->objectName(), "resultList");
    EXPECT_EQ(view->font().family(), "Tahoma");
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection) << "row actions take several rows";
    EXPECT_EQ(view->gridStyle(), Qt::SolidLine);
    EXPECT_TRUE(view->horizontalHeader()->sectionsMovable());
    EXPECT_FALSE(view->horizontalHeader()->isSortIndicatorShown());
    const QStringList captions = {"Filename", "Size", "Slots", "User", "Hub IP Address", "Path", "TTH"};
    for (int column = 0; column < kResultColumnCount; ++column)
        EXPECT_EQ(view->Model()->headerData(column, Qt::Horizontal).toString(), captions[column]);
    EXPECT_TRUE(view->horizontalHeader()->isSectionHidden(kTthColumn)) << "TTH is shown on request";
    EXPECT_EQ(view->horizontalHeader()->sectionResizeMode(kPathColumn), QHeaderView::Stretch)
        << "Path fills the space left until the first run";
    const int filled = view->columnWidth(kPathColumn);
    view->StopFillingPathColumn();
    EXPECT_EQ(view->horizontalHeader()->sectionResizeMode(kPathColumn), QHeaderView::Interactive);
    EXPECT_EQ(view->columnWidth(kPathColumn), filled);
}

TEST_F(ResultListViewTest, ModelPassesTheModelTester) {
    ResultModel* model = view->Model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 0; i < 20; ++i) model->Append(Make("file" + std::to_string(i % 7) + ".txt", i * 1000 - 1));
    model->Append(Make("Dir\\", -1));
    view->setCurrentIndex(model->index(3, 2));
    for (int column = 0; column < kResultColumnCount; ++column) view->OnHeaderClicked(column);
    model->SetFilter("file3 -dir");
    model->Append(Make("file3.late", 5));
    model->AppendStaged(Make("other.late", 5));
    model->AppendStaged(Make("FILE3.staged", 5));
    model->ShowStaged();
    view->OnHeaderClicked(kFileNameColumn);
    model->SetFilter("");
    model->Clear();
    model->Append(Make("after.clear"));
    EXPECT_EQ(model->rowCount(), 1);
}

// A run that goes on while a filter is set: rows that match show as they arrive, in the store's order after a sort,
// with the focused row kept; clearing the filter shows every row again.
TEST_F(ResultListViewTest, FilterHidesRowsAndFiltersRowsAddedLater) {
    ResultModel& model = *view->Model();
    for (const char* name : {"Big Buck Bunny.avi", "Sintel.mkv", "bunny-trailer.mp4"}) model.Append(Make(name, 10));
    model.SetFilter(QString::fromUtf8("BUNNY -trailer"));
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"Big Buck Bunny.avi"}));
    EXPECT_EQ(model.TotalRowCount(), 3);

    model.AppendStaged(Make("bunny.srt", 20));
    model.AppendStaged(Make("trailer bunny.avi", 30));
    model.ShowStaged();
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"Big Buck Bunny.avi", "bunny.srt"}));
    EXPECT_EQ(model.TotalRowCount(), 5);

    view->setCurrentIndex(model.index(0, kUserColumn));
    view->OnHeaderClicked(kSizeColumn);  // descending first
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"bunny.srt", "Big Buck Bunny.avi"}));
    EXPECT_EQ(view->currentIndex(), model.index(1, kUserColumn)) << "the focused row moved with the sort";

    model.SetFilter(" ");
    EXPECT_FALSE(model.IsFiltered());
    EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(ResultListViewTest, ShowsCellTexts) {
    SearchResult r = Make("song.mp3", 1536, "music\\");
    r.HubAddress = "10.0.0.1:411";
    view->Append(r);
    view->Append(Make("Films\\", -1, "Films\\"));
    const ResultModel& model = *view->Model();
    const QString decimal = QLocale().decimalPoint();
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"song.mp3", "Films\\"}));
    EXPECT_EQ(Column(model, kSizeColumn), QStringList({"1" + decimal + "5 KB", "<DIR>"}));
    EXPECT_EQ(Column(model, kSlotsColumn), QStringList({"1/5", "1/5"}));
    EXPECT_EQ(Column(model, kUserColumn), QStringList({"user", "user"}));
    EXPECT_EQ(Column(model, kHubAddressColumn), QStringList({"10.0.0.1:411", "127.0.0.1:411"}));
    EXPECT_EQ(Column(model, kPathColumn), QStringList({"music\\", "Films\\"}));
}

TEST_F(ResultListViewTest, HeaderClicksSortOnceEachColumnInItsOwnDirection) {
    view->Append(Make("dir\\", -1));
    view->Append(Make("b", 10));
    view->Append(Make("A", 20));
    ResultModel& model = *view->Model();

    ClickHeader(kSizeColumn);
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"A", "b", "dir\\"})) << "Size starts descending";
    EXPECT_FALSE(view->NextSortDescending(kSizeColumn));
    ClickHeader(kFileNameColumn);
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"A", "b", "dir\\"}));
    EXPECT_TRUE(view->NextSortDescending(kFileNameColumn));
    ClickHeader(kSizeColumn);
    EXPECT_EQ(Column(model, kFileNameColumn), QStringList({"dir\\", "b", "A"}));

    view->Append(Make("a-late", 5));
    EXPECT_EQ(model.CellText(3, kFileNameColumn), "a-late") << "rows after a sort go to the end";
    EXPECT_FALSE(view->horizontalHeader()->isSortIndicatorShown());
}

TEST_F(ResultListViewTest, SortKeepsTheFocusedCellOnItsRow) {
    view->Append(Make("b", 10));
    view->Append(Make("a", 20));
    view->setCurrentIndex(view->Model()->index(0, kUserColumn));
    view->OnHeaderClicked(kFileNameColumn);
    EXPECT_EQ(view->currentIndex(), view->Model()->index(1, kUserColumn));
}

TEST_F(ResultListViewTest, IconsAreSharedPerLowerCaseExtension) {
    ResultModel& model = *view->Model();
    model.Append(Make("song.MP3"));
    model.Append(Make("Песня.mp3"));
    model.Append(Make("README"));
    model.Append(Make("Dir\\", -1));
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(model.data(model.index(row, kFileNameColumn), Qt::DecorationRole).value<QIcon>().isNull());
    }
    EXPECT_EQ(model.Icons().Count(), 1u);
    EXPECT_FALSE(model.data(model.index(2, kFileNameColumn), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.data(model.index(3, kFileNameColumn), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(model.Icons().Count(), 3u);
    EXPECT_FALSE(model.data(model.index(0, kSizeColumn), Qt::DecorationRole).isValid()) << "icons in column 0 only";
}

TEST(IconCache, KeysAreLowerCaseExtensionsOrDir) {
    struct Case {
        const char* fileName;
        bool isDirectory;
        const char* key;
    };
    const Case cases[] = {
        {"song.MP3", false, ".mp3"}, {"archive.tar.GZ", false, ".gz"}, {"README", false, ""},
        {"dir.d\\file", false, ""},  {"name.txt:stream", false, ""},   {"trailing.", false, "."},
        {"Films\\", true, "<DIR>"},  {"x.mp3", true, "<DIR>"},         {"Песня.MP3", false, ".mp3"},
        {"Ä.ÄX", false, ".äx"},      {"Отчёт.ДОК", false, ".док"},     {"Ωmega.ΣΑΣ", false, ".σασ"},
    };
    for (const Case& c : cases) EXPECT_EQ(IconCache::KeyFor(c.fileName, c.isDirectory), c.key) << c.fileName;
}

TEST(IconCache, FetchesEachKeyOnceAndRetriesFailures) {
    std::vector<std::string> fetched;
    bool fail = true;
    IconCache cache([&](const std::string& key) {
        fetched.push_back(key);
        if (fail) return QIcon();
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        return QIcon(pixmap);
    });
    EXPECT_TRUE(cache.Icon(".mp3").isNull());
    EXPECT_EQ(cache.Count(), 0u);
    fail = false;
    EXPECT_FALSE(cache.Icon(".mp3").isNull());
    EXPECT_FALSE(cache.Icon(".mp3").isNull());
    EXPECT_FALSE(cache.Icon("").isNull());
    EXPECT_EQ(fetched, (std::vector<std::string>{".mp3", ".mp3", ""}));
    EXPECT_EQ(cache.Count(), 2u);
}

TEST(IconCache, FileTypesGetThemeIconsWithoutADesktopTheme) {
    // The test platform names no icon theme, as a bare window manager does not.
    if (!std::filesystem::exists("/usr/share/icons/Adwaita/index.theme"))
        GTEST_SKIP() << "adwaita-icon-theme is not installed (scripts/deps installs it)";
    IconCache cache;
    QStringList names;
    for (const char* key : {".mp3", ".txt", ".zip", "<DIR>"}) {
        const QIcon icon = cache.Icon(key);
        EXPECT_FALSE(icon.isNull()) << key;
        EXPECT_FALSE(icon.name().isEmpty()) << key << ": not a theme icon";
        names << icon.name();
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 4) << names.join(QLatin1Char(' ')).toStdString();
}

TEST_F(ResultListViewTest, ContextMenuOffersRowActionsAndTheCellEditor) {
    view->Append(Make("first.txt"));
    view->Append(Make("second.txt"));
    view->setCurrentIndex(QModelIndex());

    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, CellCenter(1, kUserColumn));
    ContextMenuAt(CellCenter(1, kUserColumn));
    EXPECT_FALSE(view->currentIndex().isValid()) << "a right click does not move the focus";
    QMenu* menu = view->findChild<QMenu*>("resultRowMenu");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> entries = menu->actions();
    for (QAction* entry : entries) {
        if (!entry->isSeparator()) {
            EXPECT_FALSE(entry->isEnabled()) << entry->text().toStdString() << ": nothing selected or focused";
        }
    }
    delete menu;

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCenter(0, kFileNameColumn));
    ASSERT_EQ(view->currentIndex(), view->Model()->index(0, kFileNameColumn));
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, CellCenter(1, kUserColumn));
    ContextMenuAt(CellCenter(1, kUserColumn));
    EXPECT_EQ(view->currentIndex(), view->Model()->index(0, kFileNameColumn));
    menu = view->findChild<QMenu*>("resultRowMenu");
    ASSERT_NE(menu, nullptr);
    QAction* showCell = view->RowActions()->findChild<QAction*>("showCellAction");
    ASSERT_TRUE(menu->actions().contains(showCell));
    EXPECT_EQ(showCell->shortcut(), QKeySequence(Qt::Key_F2)) << "shown in the menu";
    showCell->trigger();
    QLineEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "first.txt");
    EXPECT_EQ(editor->selectedText(), "first.txt");
    EXPECT_TRUE(editor->isReadOnly());

    editor->setReadOnly(false);
    editor->setText("changed");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(view->Model()->CellText(0, kFileNameColumn), "first.txt") << "nothing is written back";
}

TEST_F(ResultListViewTest, F2EditsAndClicksNeverDo) {
    view->Append(Make("first.txt"));
    view->setFocus();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCenter(0, kSlotsColumn));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCenter(0, kSlotsColumn));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCenter(0, kSlotsColumn));
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(view->currentIndex().column(), kSlotsColumn) << "any column can hold the focus";
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(view->currentIndex().column(), kUserColumn);
    QTest::keyClick(view.get(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "user");
}

TEST_F(ResultListViewTest, CtrlCCopiesTheSelectedRowsAndCtrlShiftCTheFocusedCell) {
    view->Append(Make("first.txt"));
    view->Append(Make("second.txt", 2048, "dir\\"));
    view->setFocus();
    view->setCurrentIndex(view->Model()->index(1, kUserColumn));
    QTest::keySequence(view.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "user");

    view->selectAll();
    view->horizontalHeader()->moveSection(kPathColumn, 0);
    QTest::keySequence(view.get(), QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "Path\tFilename\tSize\tSlots\tUser\tHub IP Address\n"
              "p\\\tfirst.txt\t1 B\t1/5\tuser\t127.0.0.1:411\n"
              "dir\\\tsecond.txt\t2 KB\t1/5\tuser\t127.0.0.1:411")
        << "the shown columns in their shown order";
}

TEST_F(ResultListViewTest, ToolTipOnlyForCutOffCells) {
    view->Append(Make("short"));
    view->Append(Make(std::string(200, 'w') + ".txt"));
    const auto tipAt = [this](int row) {
        QToolTip::hideText();
        const QPoint position = CellCenter(row, kFileNameColumn);
        QHelpEvent event(QEvent::ToolTip, position, view->viewport()->mapToGlobal(position));
        QApplication::sendEvent(view->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(0), "");
    EXPECT_EQ(tipAt(1), QString(200, 'w') + ".txt");
    QToolTip::hideText();
}

TEST_F(ResultListViewTest, TipsPauseOnEveryCellAndHideAfterTheDisplayTime) {
    // The program's style, with a display time short enough for a test; restored at the end.
    const QString appStyle = QApplication::style()->name();
    constexpr int kDisplayMs = 1000;
    QApplication::setStyle(new HintStyle(std::chrono::milliseconds(kDisplayMs)));
    // Long enough that Qt's own rule would keep the tip up for 46 s.
    const QString names[] = {QString(1000, 'a'), QString(1000, 'b')};
    for (const QString& name : names) view->Append(Make(name.toStdString()));
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    // QTest counts a button as held after its double click; tips wake only for moves with no button held.
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    const auto tipShows = [](const QString& text) {
        return QTest::qWaitFor([&] { return QToolTip::isVisible() && QToolTip::text() == text; }, 5000);
    };

    QTest::mouseMove(view->viewport(), CellCenter(0, kFileNameColumn));
    ASSERT_TRUE(tipShows(names[0]));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseMove(view->viewport(), CellCenter(1, kFileNameColumn));
    ASSERT_TRUE(tipShows(names[1]));
    EXPECT_GE(clock.elapsed(), 450) << "the next cell's tip waits the full pause";
    clock.restart();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
    EXPECT_GE(clock.elapsed(), kDisplayMs - 100);
    QApplication::setStyle(appStyle);
}

TEST_F(ResultListViewTest, PathColumnFitGoesOnWhereItsTimeRanOut) {
    view->StopFillingPathColumn();
    for (int row = 0; row < 1000; ++row) view->Append(Make("a", 1, "short\\"));
    const std::string longPath = std::string(150, 'W') + "\\";
    view->Append(Make("b", 1, longPath));
    int fits = 1;
    while (!view->FitPathColumn(std::chrono::milliseconds(0)) && fits < 10) ++fits;
    EXPECT_GT(fits, 1) << "a fit out of time leaves the rest for the next";
    EXPECT_GT(view->columnWidth(kPathColumn), view->fontMetrics().horizontalAdvance(QString::fromStdString(longPath)));
}

TEST_F(ResultListViewTest, PathColumnOnlyGrowsForLongerPaths) {
    view->StopFillingPathColumn();
    view->setColumnWidth(kPathColumn, 292);
    view->Append(Make("a", 1, "short\\"));
    EXPECT_FALSE(view->FitPathColumn());
    EXPECT_EQ(view->columnWidth(kPathColumn), 292);

    const std::string longPath = std::string(120, 'W') + "\\";
    view->Append(Make("b", 1, longPath));
    EXPECT_TRUE(view->FitPathColumn());
    const int fitted = view->columnWidth(kPathColumn);
    EXPECT_GT(fitted, view->fontMetrics().horizontalAdvance(QString::fromStdString(longPath)));

    view->Append(Make("c", 1, "x\\"));
    EXPECT_FALSE(view->FitPathColumn());
    EXPECT_EQ(view->columnWidth(kPathColumn), fitted);

    // A sort between fits moves rows that were not measured yet; they still count.
    view->Append(Make("d", 1, longPath + longPath));
    view->OnHeaderClicked(kPathColumn);
    view->OnHeaderClicked(kPathColumn);
    EXPECT_TRUE(view->FitPathColumn());
    EXPECT_GT(view->columnWidth(kPathColumn), fitted);

    const int widest = view->columnWidth(kPathColumn);
    view->Clear();
    view->setColumnWidth(kPathColumn, 100);
    view->Append(Make("e", 1, "short\\"));
    EXPECT_FALSE(view->FitPathColumn()) << "a cleared list forgets the old widths";
    EXPECT_LT(view->columnWidth(kPathColumn), widest);
}

}  // namespace
