#include "ui/results/grouped_result_model.h"

#include <algorithm>

#include "engine/results/result_column.h"
#include "ui/results/result_model.h"

GroupedResultModel::GroupedResultModel(ResultModel* source, QObject* parent)
    : QAbstractItemModel(parent), m_source(source), m_groups(source->Store()) {
    connect(source, &QAbstractItemModel::rowsInserted, this, &GroupedResultModel::OnSourceRowsInserted);
    connect(source, &QAbstractItemModel::modelReset, this, &GroupedResultModel::Rebuild);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &GroupedResultModel::OnSourceLayoutAboutToBeChanged);
    connect(source, &ResultModel::StoreSorted, this, &GroupedResultModel::OnStoreSorted);
    connect(source, &QAbstractItemModel::layoutChanged, this, &GroupedResultModel::OnSourceLayoutChanged);
    Rebuild();
}

QModelIndex GroupedResultModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    if (!parent.isValid()) return createIndex(row, column, kTopLevel);
    return createIndex(row, column, static_cast<quintptr>(m_order[static_cast<std::size_t>(parent.row())]) + 1);
}

QModelIndex GroupedResultModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kTopLevel) return {};
    const auto group = static_cast<std::size_t>(child.internalId() - 1);
    return createIndex(m_topRowOf[group], 0, kTopLevel);
}

int GroupedResultModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(m_order.size());
    if (parent.internalId() != kTopLevel || parent.column() != 0) return 0;
    return m_childRows[m_order[static_cast<std::size_t>(parent.row())]];
}

int GroupedResultModel::columnCount(const QModelIndex&) const {
    return kResultColumnCount;
}

std::size_t GroupedResultModel::StoreIndex(const QModelIndex& index) const {
    if (index.internalId() == kTopLevel) return m_groups.Row(m_order[static_cast<std::size_t>(index.row())], 0);
    const auto group = static_cast<uint32_t>(index.internalId() - 1);
    return m_groups.Row(group, static_cast<std::size_t>(index.row()));
}

QVariant GroupedResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    if (index.internalId() == kTopLevel && index.column() == kUserColumn &&
        (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const uint32_t users = UserCount(index.row());
        if (users > 1) return tr("%n users", nullptr, static_cast<int>(users));
    }
    return m_source->StoredCellData(StoreIndex(index), index.column(), role);
}

QVariant GroupedResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    return m_source->headerData(section, orientation, role);
}

Qt::ItemFlags GroupedResultModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.internalId() == kTopLevel ? flags : flags | Qt::ItemNeverHasChildren;
}

void GroupedResultModel::sort(int column, Qt::SortOrder order) {
    m_source->sort(column, order);
}

void GroupedResultModel::SetDeferred(bool deferred) {
    m_deferred = deferred;
    if (!deferred) CatchUp();
}

void GroupedResultModel::CatchUp() {
    if (m_ungroupedFrom < 0) return;
    const int first = m_ungroupedFrom;
    m_ungroupedFrom = -1;
    AddRows(first, m_source->rowCount() - 1);
}

void GroupedResultModel::OnSourceRowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) return;
    if (!m_deferred) {
        AddRows(first, last);
    } else if (m_ungroupedFrom < 0) {
        // The flat model only appends, so the rows waiting are always the last ones.
        m_ungroupedFrom = first;
    }
}

void GroupedResultModel::AddRows(int first, int last) {
    const std::size_t groupsBefore = m_groups.Count();
    std::vector<uint32_t> grown;
    for (int row = first; row <= last; ++row) {
        const FileGroups::Placement placement = m_groups.Add(static_cast<uint32_t>(m_source->StoreIndex(row)));
        if (!placement.newGroup && (grown.empty() || grown.back() != placement.group)) grown.push_back(placement.group);
    }
    if (m_groups.Count() > groupsBefore) {
        const auto firstRow = static_cast<int>(m_order.size());
        beginInsertRows({}, firstRow, firstRow + static_cast<int>(m_groups.Count() - groupsBefore) - 1);
        for (auto group = static_cast<uint32_t>(groupsBefore); group < m_groups.Count(); ++group) {
            m_topRowOf.push_back(static_cast<int>(m_order.size()));
            m_order.push_back(group);
            m_childRows.push_back(0);
        }
        endInsertRows();
    }
    std::sort(grown.begin(), grown.end());
    grown.erase(std::unique(grown.begin(), grown.end()), grown.end());
    for (auto group = static_cast<uint32_t>(groupsBefore); group < m_groups.Count(); ++group) {
        if (m_groups.RowCount(group) > 1) grown.push_back(group);
    }
    for (const uint32_t group : grown) {
        const QModelIndex groupIndex = index(m_topRowOf[group], 0);
        const int known = m_childRows[group];
        const int now = ChildRows(m_groups.RowCount(group));
        if (now > known) {
            beginInsertRows(groupIndex, known, now - 1);
            m_childRows[group] = now;
            endInsertRows();
        }
        emit dataChanged(groupIndex, index(m_topRowOf[group], kResultColumnCount - 1));
    }
}

void GroupedResultModel::Rebuild() {
    m_ungroupedFrom = -1;
    beginResetModel();
    m_groups.Clear();
    m_order.clear();
    m_topRowOf.clear();
    m_childRows.clear();
    const int rows = m_source->rowCount();
    for (int row = 0; row < rows; ++row) m_groups.Add(static_cast<uint32_t>(m_source->StoreIndex(row)));
    for (uint32_t group = 0; group < m_groups.Count(); ++group) {
        m_order.push_back(group);
        m_topRowOf.push_back(static_cast<int>(group));
        m_childRows.push_back(ChildRows(m_groups.RowCount(group)));
    }
    endResetModel();
}

void GroupedResultModel::OnSourceLayoutAboutToBeChanged() {
    // The sort renumbers the groups' rows, which must all be grouped by then.
    CatchUp();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_kept.clear();
    for (const QModelIndex& index : persistentIndexList()) {
        KeptIndex kept;
        kept.column = index.column();
        if (index.internalId() == kTopLevel) {
            kept.group = m_order[static_cast<std::size_t>(index.row())];
        } else {
            kept.group = static_cast<uint32_t>(index.internalId() - 1);
            kept.storeIndex = static_cast<int64_t>(StoreIndex(index));
        }
        m_kept.push_back(kept);
    }
}

void GroupedResultModel::OnStoreSorted(const std::vector<uint32_t>& oldIndexAt) {
    m_groups.RenumberRows(oldIndexAt);
    std::vector<uint32_t> newIndexOf(oldIndexAt.size());
    for (std::size_t i = 0; i < oldIndexAt.size(); ++i) newIndexOf[oldIndexAt[i]] = static_cast<uint32_t>(i);
    for (KeptIndex& kept : m_kept) {
        if (kept.storeIndex >= 0) kept.storeIndex = newIndexOf[static_cast<std::size_t>(kept.storeIndex)];
    }
}

void GroupedResultModel::OnSourceLayoutChanged() {
    // Groups follow their first source: the store's new order puts the file with the best source first.
    std::sort(m_order.begin(), m_order.end(),
              [this](uint32_t a, uint32_t b) { return m_groups.Row(a, 0) < m_groups.Row(b, 0); });
    for (std::size_t row = 0; row < m_order.size(); ++row) m_topRowOf[m_order[row]] = static_cast<int>(row);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size() && static_cast<std::size_t>(i) < m_kept.size(); ++i) {
        const KeptIndex& kept = m_kept[static_cast<std::size_t>(i)];
        const QModelIndex groupIndex = index(m_topRowOf[kept.group], kept.column);
        if (kept.storeIndex < 0) {
            after.append(groupIndex);
            continue;
        }
        int child = 0;
        while (m_groups.Row(kept.group, static_cast<std::size_t>(child)) != kept.storeIndex) ++child;
        after.append(index(child, kept.column, index(m_topRowOf[kept.group], 0)));
    }
    changePersistentIndexList(before, after);
    m_kept.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
