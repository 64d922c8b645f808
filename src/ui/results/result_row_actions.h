#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class ResultListView;

// What a user can do with the selected rows of the result list: copy magnet links, names, paths, the rows as text,
// the focused cell or hub addresses, open a hub in the desktop's DC client, search for a file by its TTH, show a
// cell's text. Each is an action of the list with its shortcut, active while the list has the focus, and an entry
// of the list's context menu. GUI thread only; owned by the list.
class ResultRowActions : public QObject {
    Q_OBJECT

public:
    explicit ResultRowActions(ResultListView* list);

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
    // The selected rows of the list in the order shown, or the focused row when none is selected.
    std::vector<int> SelectedRows() const;
    std::vector<QString> DistinctHubUrls() const;
    void UpdateEnabled();
    void OnOpenHub();
    void OnSearchForFile();

    ResultListView* m_list;
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
