#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/results/live_filter.h"
#include "engine/results/result_store.h"
#include "ui/results/icon_cache.h"

// The result list's rows as a flat table of ResultColumn columns. Cell texts and icons are produced when asked for,
// from the compact row store; nothing per cell is kept. Rows are appended at the end, sorted on request or all
// removed. A live filter may hide rows: views then see only the matching ones, in store order, and rows added later
// are filtered as they show. Cells report editable so that the list's read-only cell editor can open; nothing is
// ever written back. GUI thread only.
class ResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // decimalSeparator: the one sizes are shown with, normally the user's locale's.
    explicit ResultModel(const QString& decimalSeparator = QLocale().decimalPoint(), QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stable in both directions; persistent indexes (the focused cell, the selection) move with their rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Adds one row at the end; the result's texts are copied.
    void Append(const SearchResult& result);
    // Stores a row that views do not see until ShowStaged announces every staged row at once.
    void AppendStaged(const SearchResult& result);
    void ShowStaged();
    // Rows stored, shown or staged.
    int StoredRowCount() const { return static_cast<int>(m_store.Count()); }
    void Clear();

    // Shows only the rows that match query (LiveFilter, UTF-8); an empty query shows every row. Filters every row
    // at once: a million rows take a tenth of a second, so callers wait for a pause in the typing.
    void SetFilter(const QString& query);
    bool IsFiltered() const { return m_filter.has_value(); }
    // Rows announced to views before filtering: the "total" of "shown of total".
    int TotalRowCount() const { return m_announcedRows; }

    // The cell text as shown for a row of the views: FileName, SizeText, SlotsText, User, HubAddress, Path, Tth.
    QString CellText(int row, int column) const { return StoredCellText(StoreIndex(row), column); }
    QString StoredCellText(std::size_t storeIndex, int column) const;
    // data() of a store row: its text, or its icon in the first column.
    QVariant StoredCellData(std::size_t storeIndex, int column, int role) const;
    ResultRow Row(int row) const { return m_store.Row(StoreIndex(row)); }
    // The store's index of a row of the views.
    std::size_t StoreIndex(int row) const;
    const ResultStore& Store() const { return m_store; }
    const IconCache& Icons() const { return m_icons; }

signals:
    // Rows were added to, or the filter changed, the rows views see.
    void ShownRowsChanged();
    // Within a sort, between layoutAboutToBeChanged and layoutChanged: the store's rows were reordered; oldIndexAt
    // gives the old index of the row now at each position.
    void StoreSorted(const std::vector<uint32_t>& oldIndexAt);

private:
    ResultStore m_store;
    int m_announcedRows = 0;  // store rows views were told of, shown or filtered out; staged ones follow them
    std::optional<LiveFilter> m_filter;
    std::vector<uint32_t> m_shown;  // with a filter: the store indexes of the rows views see, ascending
    std::string m_decimalSeparator;
    mutable IconCache m_icons;
};
