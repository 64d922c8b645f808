#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

class QAbstractItemView;
class QAction;
class QHeaderView;
class QMenu;
class QModelIndex;
class ResultModel;

// What a user can do with the selected rows of a result view (the list, or the files grouped): copy magnet links,
// names, paths, the rows as text, the focused cell or hub addresses, open a hub in the desktop's DC client, search
// for a file by its TTH, show a cell's text. Each is an action of the view with its shortcut, active while the view
// has the focus, and an entry of its context menu. GUI thread only; owned by the view.
class ResultRowActions : public QObject {
    Q_OBJECT

public:
    // The store row a row of the view stands for.
    using StoreIndexOf = std::function<std::size_t(const QModelIndex& index)>;
    // view shows rows of model (or rows standing for them) under header; all outlive the actions.
    ResultRowActions(QAbstractItemView* view, QHeaderView* header, const ResultModel* model, StoreIndexOf storeIndexOf);

    // The context menu with every action, enabled as the selection allows; owned by the caller.
    QMenu* MakeMenu(QWidget* parent);

    // Magnet links of the selected rows that carry a TTH, one per line.
    QString MagnetLinks() const;
    // The selected rows as tab-separated lines of the shown columns in their shown order, after a header line.
    QString RowsAsText() const;
    // One line per selected row, or per distinct hub for hub addresses.
    QString FileNames() const;
    QString Paths() const;
    QString HubUrls() const;

signals:
    // "Search for this file": a new run for this TTH.
    void SearchForTth(const QString& tth);

private:
    QAction* AddAction(const char* objectName, const QString& text, const QKeySequence& shortcut);
    // The store rows of the view's selected rows in the order shown, or of the focused row when none is selected.
    std::vector<std::size_t> SelectedRows() const;
    std::vector<QString> DistinctHubUrls() const;
    void UpdateEnabled();
    void OnOpenHub();
    void OnSearchForFile();

    QAbstractItemView* m_view;
    QHeaderView* m_header;
    const ResultModel* m_model;
    StoreIndexOf m_storeIndexOf;
    std::vector<QAction*> m_actions;  // in menu order; nullptr marks a separator
    QAction* m_copyMagnet;
    QAction* m_copyText;
    QAction* m_copyCell;
    QAction* m_copyName;
    QAction* m_copyPath;
    QAction* m_copyHub;
    QAction* m_openHub;
    QAction* m_searchForFile;
    QAction* m_showCell;
};
