#pragma once

#include <QTableView>

#include <array>
#include <chrono>
#include <vector>

#include "engine/results/search_result.h"

class ResultModel;
class ResultRowActions;

// The result list: a virtual table over ResultModel, which it owns. A header click sorts once by that column
// (stably, each column alternating its own direction, no sort mark); later rows go to the end; the header's context
// menu shows or hides columns (TTH starts hidden). Rows are selected as a whole, several at once; a context-menu
// request opens the menu of row actions, F2 a read-only editor on the focused cell. GUI thread only.
class ResultListView : public QTableView {
    Q_OBJECT

public:
    explicit ResultListView(QWidget* parent = nullptr);

    ResultModel* Model() const { return m_model; }
    ResultRowActions* RowActions() const { return m_rowActions; }
    void Append(const SearchResult& result);
    // Removes all rows; column widths, order and sort directions stay.
    void Clear();

    // Ends, for good, the start-up mode in which the Path column fills the space left (called at a run start).
    void StopFillingPathColumn();

    // Widens the Path column to its widest cell if it is narrower, rows not shown yet included. Only rows added since
    // the last call are measured, for about budget at most so that a flood of rows never stalls the window; the rest
    // at the next call. Returns whether it grew with every row measured. The column never shrinks by itself, so the
    // widest width so far is kept.
    bool FitPathColumn(std::chrono::milliseconds budget = std::chrono::milliseconds(30));

    // Sorts by column in that column's next direction, then flips it (Size and Slots start descending).
    void OnHeaderClicked(int column);
    bool NextSortDescending(int column) const;

protected:
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The right button neither moves the focused cell nor selects: it only asks for the cell editor.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Measures the rows not measured yet until deadline; returns whether every row has been.
    bool MeasureNewPaths(std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());
    void ForgetMeasuredPaths();

    ResultModel* m_model;
    ResultRowActions* m_rowActions;
    std::array<bool, 7> m_nextSortDescending{false, true, true, false, false, false, false};
    bool m_fillingPathColumn = true;
    int m_measuredRows = 0;
    int m_widestPath = 0;
    std::vector<double> m_byteAdvances;  // per code-page byte in the list's font; empty until needed
};
