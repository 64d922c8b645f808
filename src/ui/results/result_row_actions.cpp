#include "ui/results/result_row_actions.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

#include <QAbstractItemView>
#include "engine/results/dc_links.h"
#include "engine/results/result_column.h"
#include "ui/results/result_model.h"
#include "ui/support/gui_text.h"
#include "ui/support/shell.h"

namespace {

// Opening more hubs than this from one selection would flood the DC client with windows.
constexpr std::size_t kMostHubsOpened = 10;

void SetClipboard(const QString& text) {
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

}  // namespace

ResultRowActions::ResultRowActions(QAbstractItemView* view, QHeaderView* header, const ResultModel* model,
                                   StoreIndexOf storeIndexOf)
    : QObject(view), m_view(view), m_header(header), m_model(model), m_storeIndexOf(std::move(storeIndexOf)) {
    m_copyMagnet = AddAction("copyMagnetAction", tr("Copy &magnet link"), QKeySequence(Qt::CTRL | Qt::Key_M));
    m_copyText = AddAction("copyTextAction", tr("Copy as &text"), QKeySequence::Copy);
    m_copyCell = AddAction("copyCellAction", tr("Copy &cell"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    m_copyName = AddAction("copyNameAction", tr("Copy file &name"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    m_copyPath = AddAction("copyPathAction", tr("Copy &path"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    m_actions.push_back(nullptr);
    m_copyHub = AddAction("copyHubAction", tr("Copy &hub address"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    m_openHub = AddAction("openHubAction", tr("&Open hub"), QKeySequence(Qt::CTRL | Qt::Key_O));
    m_actions.push_back(nullptr);
    m_searchForFile = AddAction("searchForFileAction", tr("&Search for this file"), QKeySequence(Qt::CTRL | Qt::Key_T));
    m_showCell = AddAction("showCellAction", tr("Show cell te&xt"), QKeySequence(Qt::Key_F2));

    connect(m_copyMagnet, &QAction::triggered, this, [this] { SetClipboard(MagnetLinks()); });
    connect(m_copyText, &QAction::triggered, this, [this] { SetClipboard(RowsAsText()); });
    connect(m_copyCell, &QAction::triggered, this, [this] {
        const QModelIndex focused = m_view->currentIndex();
        if (focused.isValid()) SetClipboard(focused.data().toString());
    });
    connect(m_copyName, &QAction::triggered, this, [this] { SetClipboard(FileNames()); });
    connect(m_copyPath, &QAction::triggered, this, [this] { SetClipboard(Paths()); });
    connect(m_copyHub, &QAction::triggered, this, [this] { SetClipboard(HubUrls()); });
    connect(m_openHub, &QAction::triggered, this, &ResultRowActions::OnOpenHub);
    connect(m_searchForFile, &QAction::triggered, this, &ResultRowActions::OnSearchForFile);
    // F2 is the list's own edit key; the entry only makes the editor reachable from the menu.
    m_showCell->setShortcutContext(Qt::WidgetShortcut);
    m_view->removeAction(m_showCell);
    connect(m_showCell, &QAction::triggered, this, [this] {
        const QModelIndex focused = m_view->currentIndex();
        if (focused.isValid()) m_view->edit(focused);
    });
}

QAction* ResultRowActions::AddAction(const char* objectName, const QString& text, const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setShortcutVisibleInContextMenu(true);
    m_view->addAction(action);
    m_actions.push_back(action);
    return action;
}

QMenu* ResultRowActions::MakeMenu(QWidget* parent) {
    UpdateEnabled();
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("resultRowMenu"));
    for (QAction* action : m_actions) {
        if (action == nullptr)
            menu->addSeparator();
        else
            menu->addAction(action);
    }
    return menu;
}

void ResultRowActions::UpdateEnabled() {
    const std::vector<std::size_t> rows = SelectedRows();
    const bool anyTth = std::any_of(rows.begin(), rows.end(),
                                    [this](std::size_t row) { return !m_model->Store().Row(row).Tth.empty(); });
    const bool anyHub = !DistinctHubUrls().empty();
    for (QAction* action : {m_copyText, m_copyName, m_copyPath}) action->setEnabled(!rows.empty());
    m_copyMagnet->setEnabled(anyTth);
    m_searchForFile->setEnabled(anyTth);
    m_copyHub->setEnabled(anyHub);
    m_openHub->setEnabled(anyHub);
    m_copyCell->setEnabled(m_view->currentIndex().isValid());
    m_showCell->setEnabled(m_view->currentIndex().isValid());
}

std::vector<std::size_t> ResultRowActions::SelectedRows() const {
    QModelIndexList indexes;
    if (m_view->selectionModel() != nullptr) indexes = m_view->selectionModel()->selectedRows();
    if (indexes.isEmpty() && m_view->currentIndex().isValid()) indexes << m_view->currentIndex();
    // In the order shown: by position on screen, which a tree's row numbers alone do not give.
    std::sort(indexes.begin(), indexes.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return m_view->visualRect(a).top() < m_view->visualRect(b).top();
    });
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : indexes) rows.push_back(m_storeIndexOf(index));
    return rows;
}

QString ResultRowActions::MagnetLinks() const {
    QStringList links;
    for (const std::size_t row : SelectedRows()) {
        const ResultRow r = m_model->Store().Row(row);
        if (r.Tth.empty()) continue;
        links << QString::fromStdString(MagnetLink(r.Tth, r.Size, r.FileName));
    }
    return links.join(QLatin1Char('\n'));
}

QString ResultRowActions::RowsAsText() const {
    std::vector<int> columns;
    for (int visual = 0; visual < m_header->count(); ++visual) {
        const int column = m_header->logicalIndex(visual);
        if (!m_header->isSectionHidden(column)) columns.push_back(column);
    }
    QStringList lines;
    QStringList cells;
    for (const int column : columns) cells << m_model->headerData(column, Qt::Horizontal).toString();
    lines << cells.join(QLatin1Char('\t'));
    for (const std::size_t row : SelectedRows()) {
        cells.clear();
        for (const int column : columns) cells << m_model->StoredCellText(row, column);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.size() > 1 ? lines.join(QLatin1Char('\n')) : QString();
}

QString ResultRowActions::FileNames() const {
    QStringList names;
    for (const std::size_t row : SelectedRows()) names << m_model->StoredCellText(row, kFileNameColumn);
    return names.join(QLatin1Char('\n'));
}

QString ResultRowActions::Paths() const {
    QStringList paths;
    for (const std::size_t row : SelectedRows()) paths << m_model->StoredCellText(row, kPathColumn);
    return paths.join(QLatin1Char('\n'));
}

std::vector<QString> ResultRowActions::DistinctHubUrls() const {
    std::vector<QString> urls;
    for (const std::size_t row : SelectedRows()) {
        const QString url = QString::fromStdString(HubUrl(m_model->Store().Row(row).HubAddress));
        if (!url.isEmpty() && std::find(urls.begin(), urls.end(), url) == urls.end()) urls.push_back(url);
    }
    return urls;
}

QString ResultRowActions::HubUrls() const {
    QStringList lines;
    for (const QString& url : DistinctHubUrls()) lines << url;
    return lines.join(QLatin1Char('\n'));
}

void ResultRowActions::OnOpenHub() {
    std::vector<QString> urls = DistinctHubUrls();
    if (urls.size() > kMostHubsOpened) urls.resize(kMostHubsOpened);
    for (const QString& url : urls) OpenUrl(url.toStdString(), m_view->window());
}

void ResultRowActions::OnSearchForFile() {
    for (const std::size_t row : SelectedRows()) {
        const ResultRow r = m_model->Store().Row(row);
        if (r.Tth.empty()) continue;
        emit SearchForTth(ToQString(r.Tth));
        return;
    }
}
