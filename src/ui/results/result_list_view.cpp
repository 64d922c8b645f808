#include "ui/results/result_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

#include "engine/results/result_column.h"
#include "ui/results/column_menu.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"
#include "ui/support/design_layout.h"
#include "ui/support/gui_text.h"
#include "ui/support/hint_style.h"

namespace {

constexpr std::array<int, kResultColumnCount> kInitialWidths = {300, 75, 45, 95, 122, 292, 290};
constexpr int kHeaderHeight = 19;
constexpr int kRowHeight = 18;

// Text margin on each side of a cell, as the style draws it.
int StyleTextMargin(const QWidget* widget) {
    return widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// Read-only in-place editor that shows the cell's text selected for copying and writes nothing back; tooltips
// only for cells that cut their text off.
class ResultCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setReadOnly(true);
        editor->setFrame(false);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = static_cast<QLineEdit*>(editor);
        line->setText(index.data(Qt::DisplayRole).toString());
        line->selectAll();
    }

    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QRect textRect = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
        const int room = textRect.width() - 2 * StyleTextMargin(view);
        if (item.fontMetrics.horizontalAdvance(item.text) > room) {
            QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect,
                               view->style()->styleHint(HintStyle::kHintDisplayTime, nullptr, view));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
};

}  // namespace

ResultListView::ResultListView(QWidget* parent)
    : QTableView(parent),
      m_model(new ResultModel(QLocale().decimalPoint(), this)),
      m_rowActions(new ResultRowActions(this, horizontalHeader(), m_model, [this](const QModelIndex& index) {
          return m_model->StoreIndex(index.row());
      })) {
    setObjectName(QStringLiteral("resultList"));
    const QFont listFont = DesignFont();
    setFont(listFont);
    setModel(m_model);
    setItemDelegate(new ResultCellDelegate(this));

    QHeaderView* header = horizontalHeader();
    header->setFont(listFont);
    header->setFixedHeight(kHeaderHeight);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    for (int column = 0; column < kResultColumnCount; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        setColumnWidth(column, kInitialWidths[column]);
    }
    header->setSectionResizeMode(kPathColumn, QHeaderView::Stretch);
    header->setSectionHidden(kTthColumn, true);
    InstallColumnMenu(header);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);

    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab leaves the list for the controls after it; the arrow keys move between cells.
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setSortingEnabled(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(header, &QHeaderView::sectionClicked, this, &ResultListView::OnHeaderClicked);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { MeasureNewPaths(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultListView::ForgetMeasuredPaths);
}

void ResultListView::Append(const SearchResult& result) {
    m_model->Append(result);
}

void ResultListView::Clear() {
    m_model->Clear();
}

void ResultListView::StopFillingPathColumn() {
    if (!m_fillingPathColumn) return;
    m_fillingPathColumn = false;
    const int width = columnWidth(kPathColumn);
    horizontalHeader()->setSectionResizeMode(kPathColumn, QHeaderView::Interactive);
    setColumnWidth(kPathColumn, width);
}

bool ResultListView::FitPathColumn(std::chrono::milliseconds budget) {
    const bool measured = MeasureNewPaths(std::chrono::steady_clock::now() + budget);
    const int before = columnWidth(kPathColumn);
    if (before >= m_widestPath) return false;
    setColumnWidth(kPathColumn, m_widestPath);
    return measured && columnWidth(kPathColumn) > before;
}

void ResultListView::OnHeaderClicked(int column) {
    if (column < 0 || column >= kResultColumnCount) return;
    bool& descending = m_nextSortDescending[static_cast<std::size_t>(column)];
    m_model->sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    descending = !descending;
}

bool ResultListView::NextSortDescending(int column) const {
    return m_nextSortDescending.at(static_cast<std::size_t>(column));
}

void ResultListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    QMenu* menu = m_rowActions->MakeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ResultListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void ResultListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void ResultListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

// Rows are only appended between fits, and a sort measures what is new first, so rows at or past m_measuredRows
// are exactly the unmeasured ones; rows still held back from views count too, or a fit that widens the column just
// before they show would leave them cut off. Shaping a text is slow, so only paths whose sum of character advances
// comes near the widest so far are measured exactly.
bool ResultListView::MeasureNewPaths(std::chrono::steady_clock::time_point deadline) {
    constexpr int kRowsBetweenClockReads = 256;
    const int count = m_model->StoredRowCount();
    if (m_measuredRows >= count) return true;
    const QFontMetrics metrics(font());
    if (m_byteAdvances.empty()) {
        m_byteAdvances.resize(256);
        for (int byte = 0; byte < 256; ++byte) {
            const char c = static_cast<char>(byte);
            m_byteAdvances[static_cast<std::size_t>(byte)] =
                QFontMetricsF(font()).horizontalAdvance(ToQString(std::string_view(&c, 1)));
        }
    }
    const int extra = 2 * StyleTextMargin(this) + (showGrid() ? 1 : 0);
    for (int measured = 0; m_measuredRows < count; ++m_measuredRows, ++measured) {
        if (measured > 0 && measured % kRowsBetweenClockReads == 0 && std::chrono::steady_clock::now() >= deadline)
            break;
        const std::string_view path = m_model->Store().Row(static_cast<std::size_t>(m_measuredRows)).Path;
        if (path.empty()) continue;
        double estimate = 0;
        for (char c : path) estimate += m_byteAdvances[static_cast<unsigned char>(c)];
        // Fractional advances sum to within a few pixels of the shaped width; kerning only narrows it.
        if (estimate + estimate / 256 + 2 + extra <= m_widestPath) continue;
        m_widestPath = std::max(m_widestPath, metrics.horizontalAdvance(ToQString(path)) + extra);
    }
    return m_measuredRows == count;
}

void ResultListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) m_byteAdvances.clear();
    QTableView::changeEvent(event);
}

void ResultListView::ForgetMeasuredPaths() {
    m_measuredRows = 0;
    m_widestPath = 0;
}
