#pragma once

#include <QTreeView>

class GroupedResultModel;
class ResultListView;
class ResultRowActions;

// The result list with identical files grouped: a tree over GroupedResultModel, which it owns, fed by the flat
// list's model. Header clicks sort like the list's (they share each column's next direction); the header's context
// menu shows or hides columns; a context-menu request opens the row actions, where a file's row stands for its first
// source. GUI thread only.
class GroupedResultView : public QTreeView {
    Q_OBJECT

public:
    // list must outlive the view.
    explicit GroupedResultView(ResultListView* list, QWidget* parent = nullptr);

    GroupedResultModel* Model() const { return m_model; }
    ResultRowActions* RowActions() const { return m_rowActions; }
    // Takes the list's column order, widths and hidden columns, so switching views keeps the columns in place.
    void FollowListColumns();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ResultListView* m_list;
    GroupedResultModel* m_model;
    ResultRowActions* m_rowActions;
};
