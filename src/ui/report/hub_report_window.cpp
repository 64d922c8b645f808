#include "ui/report/hub_report_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "ui/report/hub_report_model.h"

HubReportWindow::HubReportWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_model(new HubReportModel(this)),
      m_view(new QSortFilterProxyModel(this)),
      m_outcomeBox(new QComboBox(this)),
      m_table(new QTableView(this)),
      m_copyAction(new QAction(tr("&Copy"), m_table)),
      m_flush(new QTimer(this)) {
    setObjectName(QStringLiteral("hubReportWindow"));
    setWindowTitle(tr("Hub report"));
    resize(900, 500);

    m_outcomeBox->setObjectName(QStringLiteral("outcomeFilterBox"));
    m_outcomeBox->addItems({tr("All hubs"), tr("Searched"), tr("Failed")});
    auto* filterLabel = new QLabel(tr("&Show:"), this);
    filterLabel->setBuddy(m_outcomeBox);

    m_view->setSourceModel(m_model);
    m_view->setFilterKeyColumn(HubReportModel::Outcome);
    m_table->setObjectName(QStringLiteral("hubReportTable"));
    m_table->setModel(m_view);
    // Rows stay in the order the hubs ended until a header is clicked; a third click returns to that order.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->horizontalHeader()->setSortIndicatorClearable(true);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] : {std::pair{HubReportModel::Name, 180},
                                        {HubReportModel::Address, 170},
                                        {HubReportModel::Reason, 170},
                                        {HubReportModel::HubWords, 220}})
        m_table->setColumnWidth(column, width);

    m_copyAction->setShortcut(QKeySequence::Copy);
    m_copyAction->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(m_copyAction);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_outcomeBox);
    filterRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_table);

    m_flush->setSingleShot(true);
    m_flush->setInterval(100);
    connect(m_flush, &QTimer::timeout, this, &HubReportWindow::ShowStaged);
    connect(m_outcomeBox, &QComboBox::currentIndexChanged, this, &HubReportWindow::ApplyOutcomeFilter);
    connect(m_copyAction, &QAction::triggered, this, &HubReportWindow::CopySelectedRows);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
}

void HubReportWindow::Clear() {
    m_flush->stop();
    m_staged.clear();
    m_model->Clear();
}

void HubReportWindow::AddOutcomes(const std::vector<HubOutcome>& outcomes) {
    m_staged.insert(m_staged.end(), outcomes.begin(), outcomes.end());
    if (!m_flush->isActive()) m_flush->start();
}

void HubReportWindow::ShowStaged() {
    m_flush->stop();
    if (m_staged.empty()) return;
    m_model->AddOutcomes(m_staged);
    m_staged.clear();
}

void HubReportWindow::Open(Shown which) {
    m_outcomeBox->setCurrentIndex(static_cast<int>(which));
    ShowStaged();
    show();
    raise();
    activateWindow();
    m_table->setFocus();
}

void HubReportWindow::ApplyOutcomeFilter(int choice) {
    switch (static_cast<Shown>(choice)) {
        case Shown::Searched:
            m_view->setFilterRegularExpression(QStringLiteral("^searched$"));
            break;
        case Shown::Failed:
            m_view->setFilterRegularExpression(QStringLiteral("^failed$"));
            break;
        case Shown::AllHubs:
            m_view->setFilterRegularExpression(QString());
            break;
    }
}

void HubReportWindow::CopySelectedRows() {
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < m_view->columnCount(); ++column)
            cells << m_view->index(row.row(), column).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}
