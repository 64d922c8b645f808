#include "ui/app/result_list_controls.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

#include "ui/results/grouped_result_model.h"
#include "ui/results/grouped_result_view.h"
#include "ui/results/result_export_file.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/support/design_layout.h"
#include "ui/support/gui_text.h"
#include "ui/support/message_box.h"

namespace {

constexpr int kStripHeight = 26;  // the strip and the gap above it
constexpr int kControlHeight = 22;
constexpr int kGroupCheckWidth = 150;
constexpr int kExportButtonWidth = 76;
constexpr int kGap = 8;
// Typing pauses this long before the rows are filtered.
constexpr int kFilterDelayMs = 200;

}  // namespace

ResultListControls::ResultListControls(QWidget* window, ResultListView* list)
    : QObject(window), m_window(window), m_list(list) {
    m_filterEdit = PlaceControl<QLineEdit>(window, "resultFilterEdit", 0, 0, 200, kControlHeight);
    m_filterEdit->setPlaceholderText(tr("Filter results: words, -word to leave out, user:nick (Ctrl+F)"));
    m_filterEdit->setClearButtonEnabled(true);
    m_groupCheck = PlaceControl<QCheckBox>(window, "groupFilesCheck", 0, 0, kGroupCheckWidth, kControlHeight);
    m_groupCheck->setText(tr("&Group identical files"));
    m_exportButton = PlaceControl<QPushButton>(window, "exportButton", 0, 0, kExportButtonWidth, kControlHeight + 2);
    m_exportButton->setText(tr("E&xport..."));
    m_exportButton->setToolTip(tr("Save the shown results as CSV or JSON"));
    m_groupedView = new GroupedResultView(list, window);
    m_groupedView->hide();
    m_groupedView->Model()->SetDeferred(true);
    m_filterDelay = new QTimer(this);
    m_filterDelay->setSingleShot(true);
    m_filterDelay->setInterval(kFilterDelayMs);

    auto* findShortcut = new QShortcut(QKeySequence::Find, window);
    connect(findShortcut, &QShortcut::activated, m_filterEdit, [this] {
        m_filterEdit->setFocus(Qt::ShortcutFocusReason);
        m_filterEdit->selectAll();
    });
    connect(m_filterEdit, &QLineEdit::textEdited, m_filterDelay, qOverload<>(&QTimer::start));
    // The clear button changes the text without an edit.
    connect(m_filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) m_filterDelay->start();
    });
    connect(m_filterDelay, &QTimer::timeout, this, [this] { m_list->Model()->SetFilter(m_filterEdit->text()); });
    connect(list->Model(), &ResultModel::ShownRowsChanged, this, &ResultListControls::CountChanged);
    connect(m_groupCheck, &QCheckBox::toggled, this, &ResultListControls::OnGroupToggled);
    connect(m_exportButton, &QPushButton::clicked, this, &ResultListControls::OnExportClicked);
}

void ResultListControls::Place(const QRect& area) {
    const int listHeight = std::max(0, area.height() - kStripHeight);
    m_list->setGeometry(area.x(), area.y(), area.width(), listHeight);
    m_groupedView->setGeometry(m_list->geometry());
    const int top = area.y() + listHeight + (kStripHeight - kControlHeight);
    const int right = area.x() + area.width();
    m_exportButton->move(right - kExportButtonWidth, top - 1);
    m_groupCheck->move(m_exportButton->x() - kGap - kGroupCheckWidth, top);
    m_filterEdit->setGeometry(area.x(), top, std::max(0, m_groupCheck->x() - kGap - area.x()), kControlHeight);
}

QString ResultListControls::CountText(int32_t runResults) const {
    const ResultModel& model = *m_list->Model();
    if (!model.IsFiltered()) return tr("Results: %1").arg(runResults);
    return tr("Results: %1 of %2").arg(model.rowCount()).arg(model.TotalRowCount());
}

bool ResultListControls::ExportTo(const QString& fileName) {
    const ExportFormat format =
        fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ? ExportFormat::kJson : ExportFormat::kCsv;
    const auto failure = ExportShownRows(*m_list->Model(), fileName, format);
    if (failure) ShowMessage(FromQString(*failure), MessageIcon::Error, m_window);
    return !failure;
}

std::vector<QWidget*> ResultListControls::TabOrder() const {
    return {m_groupedView, m_filterEdit, m_groupCheck, m_exportButton};
}

void ResultListControls::OnGroupToggled(bool grouped) {
    QWidget* shown = grouped ? static_cast<QWidget*>(m_groupedView) : m_list;
    QWidget* hidden = grouped ? static_cast<QWidget*>(m_list) : m_groupedView;
    m_groupedView->Model()->SetDeferred(!grouped);
    if (grouped) m_groupedView->FollowListColumns();
    shown->show();
    hidden->hide();
}

void ResultListControls::OnExportClicked() {
    QString selectedFilter;
    const QString fileName = QFileDialog::getSaveFileName(
        m_window, tr("Export results"), QString(), tr("CSV files (*.csv);;JSON files (*.json)"), &selectedFilter);
    if (fileName.isEmpty()) return;
    const bool json = selectedFilter.contains(QLatin1String("json")) && !fileName.contains(QLatin1Char('.'));
    ExportTo(json ? fileName + QStringLiteral(".json") : fileName);
}
