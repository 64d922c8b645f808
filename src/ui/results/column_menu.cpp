#include "ui/results/column_menu.h"

#include <QHeaderView>
#include <QMenu>

QMenu* MakeColumnMenu(QHeaderView* header) {
    auto* menu = new QMenu(header);
    menu->setObjectName(QStringLiteral("columnMenu"));
    QAbstractItemModel* model = header->model();
    const int count = model == nullptr ? 0 : header->count();
    const int shown = count - header->hiddenSectionCount();
    for (int visual = 0; visual < count; ++visual) {
        const int column = header->logicalIndex(visual);
        QAction* action = menu->addAction(model->headerData(column, header->orientation()).toString());
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
        action->setEnabled(header->isSectionHidden(column) || shown > 1);
        QObject::connect(action, &QAction::toggled, header,
                         [header, column](bool checked) { header->setSectionHidden(column, !checked); });
    }
    return menu;
}

void InstallColumnMenu(QHeaderView* header) {
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(header, &QHeaderView::customContextMenuRequested, header, [header](const QPoint& position) {
        QMenu* menu = MakeColumnMenu(header);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(header->viewport()->mapToGlobal(position));
    });
}
