#include "ui/results/result_model.h"

#include <algorithm>
#include <vector>

#include "engine/results/result_column.h"
#include "engine/results/size_format.h"
#include "ui/support/gui_text.h"

ResultModel::ResultModel(const QString& decimalSeparator, QObject* parent)
    : QAbstractTableModel(parent), m_decimalSeparator(FromQString(decimalSeparator)) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_filter ? static_cast<int>(m_shown.size()) : m_announcedRows;
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kResultColumnCount;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    return StoredCellData(StoreIndex(index.row()), index.column(), role);
}

QVariant ResultModel::StoredCellData(std::size_t storeIndex, int column, int role) const {
    if (role == Qt::DisplayRole || role == Qt::EditRole) return StoredCellText(storeIndex, column);
    if (role == Qt::DecorationRole && column == kFileNameColumn) {
        const ResultRow row = m_store.Row(storeIndex);
        return m_icons.Icon(IconCache::KeyFor(row.FileName, row.IsDirectory));
    }
    return {};
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const kCaptions[kResultColumnCount] = {"Filename",       "Size", "Slots", "User",
                                                              "Hub IP Address", "Path", "TTH"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kResultColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kCaptions[section]);
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

void ResultModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kResultColumnCount) return;
    ShowStaged();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> storeIndexBefore;
    storeIndexBefore.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) storeIndexBefore.push_back(StoreIndex(index.row()));

    const std::vector<uint32_t> oldIndexAt = m_store.Sort(column, order == Qt::DescendingOrder);
    emit StoreSorted(oldIndexAt);
    std::vector<uint32_t> newIndexOf(oldIndexAt.size());
    for (std::size_t i = 0; i < oldIndexAt.size(); ++i) newIndexOf[oldIndexAt[i]] = static_cast<uint32_t>(i);
    if (m_filter) {
        for (uint32_t& index : m_shown) index = newIndexOf[index];
        std::sort(m_shown.begin(), m_shown.end());
    }
    if (!before.isEmpty()) {
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const uint32_t stored = newIndexOf[storeIndexBefore[static_cast<std::size_t>(i)]];
            const auto row = m_filter ? std::lower_bound(m_shown.begin(), m_shown.end(), stored) - m_shown.begin()
                                      : static_cast<std::ptrdiff_t>(stored);
            after.append(this->index(static_cast<int>(row), before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultModel::Append(const SearchResult& result) {
    AppendStaged(result);
    ShowStaged();
}

void ResultModel::AppendStaged(const SearchResult& result) {
    m_store.Append(result);
}

void ResultModel::ShowStaged() {
    const auto count = static_cast<int>(m_store.Count());
    if (count == m_announcedRows) return;
    if (!m_filter) {
        beginInsertRows(QModelIndex(), m_announcedRows, count - 1);
        m_announcedRows = count;
        endInsertRows();
    } else {
        std::vector<uint32_t> matching;
        m_filter->AppendMatchingRows(m_store, static_cast<std::size_t>(m_announcedRows), m_store.Count(), matching);
        m_announcedRows = count;
        if (!matching.empty()) {
            const auto first = static_cast<int>(m_shown.size());
            beginInsertRows(QModelIndex(), first, first + static_cast<int>(matching.size()) - 1);
            m_shown.insert(m_shown.end(), matching.begin(), matching.end());
            endInsertRows();
        }
    }
    emit ShownRowsChanged();
}

void ResultModel::Clear() {
    beginResetModel();
    m_store.Clear();
    m_shown.clear();
    m_announcedRows = 0;
    endResetModel();
    emit ShownRowsChanged();
}

void ResultModel::SetFilter(const QString& query) {
    beginResetModel();
    m_shown.clear();
    m_filter.emplace(query.toStdString());
    if (m_filter->IsEmpty())
        m_filter.reset();
    else
        m_filter->AppendMatchingRows(m_store, 0, static_cast<std::size_t>(m_announcedRows), m_shown);
    endResetModel();
    emit ShownRowsChanged();
}

std::size_t ResultModel::StoreIndex(int row) const {
    return m_filter ? m_shown[static_cast<std::size_t>(row)] : static_cast<std::size_t>(row);
}

QString ResultModel::StoredCellText(std::size_t storeIndex, int column) const {
    const ResultRow r = m_store.Row(storeIndex);
    switch (column) {
        case kFileNameColumn:
            return ToQString(r.FileName);
        case kSizeColumn:
            return r.IsDirectory ? ToQString(kDirectorySizeText) : ToQString(SizeText(r.Size, m_decimalSeparator));
        case kSlotsColumn:
            return ToQString(r.SlotsText);
        case kUserColumn:
            return ToQString(r.User);
        case kHubAddressColumn:
            return ToQString(r.HubAddress);
        case kPathColumn:
            return ToQString(r.Path);
        case kTthColumn:
            return ToQString(r.Tth);
        default:
            return {};
    }
}
