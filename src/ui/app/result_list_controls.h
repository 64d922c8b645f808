#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class GroupedResultView;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRect;
class QTimer;
class QWidget;
class ResultListView;

// The strip the result list gives up at its bottom: the live filter box, the "Group identical files" toggle and
// Export, with the grouped view the toggle switches to (in the list's place). Ctrl+F goes to the filter box; typing
// filters after a short pause, so keystrokes never wait for a million rows. GUI thread only; the widgets are
// children of the window.
class ResultListControls : public QObject {
    Q_OBJECT

public:
    ResultListControls(QWidget* window, ResultListView* list);

    // Puts the list (or the grouped view) over area less the strip, and the strip along its bottom.
    void Place(const QRect& area);
    // The results label's text: "Results: N" for the run's count, "Results: shown of total" under a filter.
    QString CountText(int32_t runResults) const;
    // Writes the shown rows to fileName, JSON when it ends in ".json", CSV otherwise; a failure is shown in a message
    // box over the window. Returns whether the file was written.
    bool ExportTo(const QString& fileName);
    // The strip's controls in their tab order, after the list.
    std::vector<QWidget*> TabOrder() const;

    QLineEdit* m_filterEdit;
    QCheckBox* m_groupCheck;
    QPushButton* m_exportButton;
    GroupedResultView* m_groupedView;
    QTimer* m_filterDelay;

signals:
    // The shown rows or the filter changed: the results label should say so.
    void CountChanged();

private:
    void OnGroupToggled(bool grouped);
    void OnExportClicked();

    QWidget* m_window;
    ResultListView* m_list;
};
