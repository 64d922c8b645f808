#pragma once

#include <QAbstractItemModel>

#include <cstdint>
#include <vector>

#include "engine/results/file_groups.h"

class ResultModel;

// The rows the flat result model shows, grouped into identical files (FileGroups): one top-level row per file, its
// cells from the first source in the current order, the User column giving the number of users when more than one
// has it, and the sources as children when there are several. Follows the flat model: rows it adds join their
// groups (a run goes on adding), a new filter regroups, and its sort reorders the groups by their first source.
// GUI thread only.
class GroupedResultModel : public QAbstractItemModel {
    Q_OBJECT

public:
    // source must outlive this model.
    explicit GroupedResultModel(ResultModel* source, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Sorts the flat model, which this one follows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The store row an index stands for: a file's first source, or the source itself.
    std::size_t StoreIndex(const QModelIndex& index) const;
    // Users who have the file of a top-level row.
    uint32_t UserCount(int row) const { return m_groups.UserCount(m_order[static_cast<std::size_t>(row)]); }
    // While deferred (no view shows it), rows the flat model adds are grouped only once it is needed again: undeferred
    // or sorted. Grouping every row of a fast run as it arrives would cost the GUI thread while nobody looks.
    void SetDeferred(bool deferred);

private:
    static constexpr quintptr kTopLevel = 0;  // internal id of top-level rows; a child's is its group plus one

    void OnSourceRowsInserted(const QModelIndex& parent, int first, int last);
    // Groups the flat rows first to last.
    void AddRows(int first, int last);
    // Groups the rows added while deferred.
    void CatchUp();
    void Rebuild();
    void OnSourceLayoutAboutToBeChanged();
    void OnStoreSorted(const std::vector<uint32_t>& oldIndexAt);
    void OnSourceLayoutChanged();
    // Children shown for a group of this many rows: none for a lone source.
    static int ChildRows(std::size_t rows) { return rows > 1 ? static_cast<int>(rows) : 0; }

    // A persistent index kept over a sort: its group, its source when it is a child, its column.
    struct KeptIndex {
        uint32_t group = 0;
        int64_t storeIndex = -1;
        int column = 0;
    };

    ResultModel* m_source;
    FileGroups m_groups;
    std::vector<uint32_t> m_order;  // the group of each top-level row
    std::vector<int> m_topRowOf;    // the top-level row of each group
    std::vector<int> m_childRows;   // children views know of, per group
    std::vector<KeptIndex> m_kept;  // persistent indexes between the two halves of a sort
    bool m_deferred = false;
    int m_ungroupedFrom = -1;  // the first flat row added while deferred; the rest after it are ungrouped too
};
