#include "ui/results/grouped_result_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "engine/results/result_column.h"
#include "ui/results/column_menu.h"
#include "ui/results/grouped_result_model.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"

GroupedResultView::GroupedResultView(ResultListView* list, QWidget* parent)
    : QTreeView(parent), m_list(list), m_model(new GroupedResultModel(list->Model(), this)) {
    setObjectName(QStringLiteral("groupedResultList"));
    setFont(list->font());
    setModel(m_model);
    m_rowActions = new ResultRowActions(this, header(), list->Model(),
                                        [this](const QModelIndex& index) { return m_model->StoreIndex(index); });
    header()->setFont(list->font());
    header()->setSectionsMovable(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    InstallColumnMenu(header());
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setSortingEnabled(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(header(), &QHeaderView::sectionClicked, list, &ResultListView::OnHeaderClicked);
    FollowListColumns();
}

void GroupedResultView::FollowListColumns() {
    const QHeaderView* listHeader = m_list->horizontalHeader();
    for (int visual = 0; visual < listHeader->count(); ++visual) {
        const int column = listHeader->logicalIndex(visual);
        header()->moveSection(header()->visualIndex(column), visual);
        header()->setSectionHidden(column, listHeader->isSectionHidden(column));
        if (!listHeader->isSectionHidden(column)) header()->resizeSection(column, listHeader->sectionSize(column));
    }
}

void GroupedResultView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    QMenu* menu = m_rowActions->MakeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
