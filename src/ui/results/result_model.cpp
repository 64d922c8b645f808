#include "ui/results/result_model.h"

#include "engine/results/result_column.h"
#include "engine/results/size_format.h"
#include "ui/support/gui_text.h"

#include <vector>

ResultModel::ResultModel(const QString& decimalSeparator, QObject* parent)
    : QAbstractTableModel(parent), m_decimalSeparator(FromQString(decimalSeparator)) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kResultColumnCount;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return CellText(index.row(), index.column());
    if (role == Qt::DecorationRole && index.column() == kFileNameColumn) {
        const ResultRow row = Row(index.row());
        return m_icons.Icon(IconCache::KeyFor(row.FileName, row.IsDirectory));
    }
    return {};
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const kCaptions[kResultColumnCount] = {"Filename", "Size",           "Slots",
                                                              "User",     "Hub IP Address", "Path"};
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
    const std::vector<uint32_t> oldIndexAt = m_store.Sort(column, order == Qt::DescendingOrder);
    if (!before.isEmpty()) {
        std::vector<int> newIndexOf(oldIndexAt.size());
        for (std::size_t i = 0; i < oldIndexAt.size(); ++i) newIndexOf[oldIndexAt[i]] = static_cast<int>(i);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before) after.append(this->index(newIndexOf[index.row()], index.column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultModel::Append(const SearchResult& result) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_store.Append(result);
    m_shownRows = static_cast<int>(m_store.Count());
    endInsertRows();
}

void ResultModel::AppendStaged(const SearchResult& result) {
    m_store.Append(result);
}

void ResultModel::ShowStaged() {
    const int count = static_cast<int>(m_store.Count());
    if (count == m_shownRows) return;
    beginInsertRows(QModelIndex(), m_shownRows, count - 1);
    m_shownRows = count;
    endInsertRows();
}

void ResultModel::Clear() {
    beginResetModel();
    m_store.Clear();
    m_shownRows = 0;
    endResetModel();
}

QString ResultModel::CellText(int row, int column) const {
    const ResultRow r = Row(row);
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
        default:
            return {};
    }
}
