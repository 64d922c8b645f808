#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <vector>

#include "engine/search/hub_outcome.h"

// One row per hub of a run with what became of it, fed in batches as the run goes on; sort and filter it through a
// QSortFilterProxyModel (the Outcome column holds "searched" or "failed").
class HubReportModel : public QAbstractTableModel {
public:
    enum Column { Name, Address, Users, Outcome, Reason, HubWords, Seconds, Results, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A new run: no rows.
    void Clear();
    // One batch of outcomes: new hubs are appended with one insertion, hubs already listed are updated in place with
    // one change notice, so that a sorted view re-sorts once per batch.
    void AddOutcomes(const std::vector<HubOutcome>& outcomes);

private:
    struct Row {
        QString address;
        HubOutcome outcome;
    };

    std::vector<Row> m_rows;
    QHash<QString, int> m_rowOfAddress;
};
