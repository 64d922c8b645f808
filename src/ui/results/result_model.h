#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <string>

#include "engine/results/result_store.h"
#include "ui/results/icon_cache.h"

// The result list's rows as a flat six-column table. Cell texts and icons are produced when asked for, from the
// compact row store; nothing per cell is kept. Rows are appended at the end, sorted on request or all removed.
// Cells report editable so that the list's read-only cell editor can open; nothing is ever written back.
// GUI thread only.
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

    // The cell text as shown: FileName, SizeText, SlotsText, User, HubAddress, Path for columns 0 to 5.
    QString CellText(int row, int column) const;
    ResultRow Row(int row) const { return m_store.Row(static_cast<std::size_t>(row)); }
    const IconCache& Icons() const { return m_icons; }

private:
    ResultStore m_store;
    int m_shownRows = 0;  // rows views know of; the store may hold staged ones past them
    std::string m_decimalSeparator;
    mutable IconCache m_icons;
};
