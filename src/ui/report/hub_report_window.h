#pragma once

#include <QWidget>

#include <vector>

#include "engine/search/hub_outcome.h"

class QAction;
class QComboBox;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class HubReportModel;

// The hubs of the current or last run with what became of each, in a window of its own beside the main window:
// sortable, filterable by outcome, rows copyable with Ctrl+C. Usable during a run: outcomes are staged and shown at
// most every 100 ms, so thousands of hubs cost one insertion per tick. GUI thread.
class HubReportWindow : public QWidget {
    Q_OBJECT

public:
    // The outcome filter's choices, in the order of its list.
    enum class Shown { AllHubs, Searched, Failed };

    explicit HubReportWindow(QWidget* parent);

    // A new run: no rows.
    void Clear();
    // Outcomes from the session; shown with the next tick.
    void AddOutcomes(const std::vector<HubOutcome>& outcomes);
    // Shows what is staged now.
    void ShowStaged();
    // Filters to which, then shows the window in front.
    void Open(Shown which);
    // Puts the selected rows on the clipboard as text, one line each, cells separated by tabs, in the shown order.
    void CopySelectedRows();

    HubReportModel* m_model;
    QSortFilterProxyModel* m_view;
    QComboBox* m_outcomeBox;
    QTableView* m_table;
    QAction* m_copyAction;

private:
    void ApplyOutcomeFilter(int choice);

    std::vector<HubOutcome> m_staged;
    QTimer* m_flush;
};
