#include "ui/report/hub_report_model.h"

#include <algorithm>

namespace {

QString AddressOf(const HubOutcome& outcome) {
    return QString::fromStdString(outcome.host) + QLatin1Char(':') + QString::number(outcome.port);
}

QString ReasonText(const HubOutcome& outcome) {
    QString text;
    if (outcome.reason != HubReason::Searched) text = QString::fromUtf8(DescribeReason(outcome.reason));
    if (!outcome.redirect.empty()) text += QStringLiteral(" to ") + QString::fromStdString(outcome.redirect);
    if (!outcome.redirectedFrom.empty()) {
        if (!text.isEmpty()) text += QStringLiteral("; ");
        text += QStringLiteral("redirected here from ") + QString::fromStdString(outcome.redirectedFrom);
    }
    return text;
}

}  // namespace

int HubReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HubReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HubReportModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const bool searched = row.outcome.reason == HubReason::Searched;
    switch (index.column()) {
        case Name:
            return QString::fromStdString(row.outcome.name);
        case Address:
            return row.address;
        case Users:
            return row.outcome.users < 0 ? QVariant() : QVariant(row.outcome.users);
        case Outcome:
            return searched ? QStringLiteral("searched") : QStringLiteral("failed");
        case Reason:
            return ReasonText(row.outcome);
        case HubWords:
            return QString::fromStdString(row.outcome.hubMessage);
        // Numbers, so that the columns sort by value; empty for hubs that were not searched.
        case Seconds:
            return searched ? QVariant(static_cast<double>(row.outcome.timeToSearch.count()) / 1000) : QVariant();
        case Results:
            return searched ? QVariant(row.outcome.results) : QVariant();
        default:
            return {};
    }
}

QVariant HubReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Name:
            return tr("Hub");
        case Address:
            return tr("Address");
        case Users:
            return tr("Users");
        case Outcome:
            return tr("Outcome");
        case Reason:
            return tr("Reason");
        case HubWords:
            return tr("Hub's words");
        case Seconds:
            return tr("Time to search (s)");
        case Results:
            return tr("Results");
        default:
            return {};
    }
}

void HubReportModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_rowOfAddress.clear();
    endResetModel();
}

void HubReportModel::AddOutcomes(const std::vector<HubOutcome>& outcomes) {
    std::vector<Row> added;
    int firstChanged = rowCount();
    int lastChanged = -1;
    for (const HubOutcome& outcome : outcomes) {
        QString address = AddressOf(outcome);
        if (const auto found = m_rowOfAddress.constFind(address); found != m_rowOfAddress.cend()) {
            const auto row = static_cast<std::size_t>(*found);
            if (row >= m_rows.size()) {
                added[row - m_rows.size()].outcome = outcome;
            } else {
                m_rows[row].outcome = outcome;
                firstChanged = std::min(firstChanged, *found);
                lastChanged = std::max(lastChanged, *found);
            }
            continue;
        }
        m_rowOfAddress.insert(address, static_cast<int>(m_rows.size() + added.size()));
        added.push_back({std::move(address), outcome});
    }
    if (lastChanged >= 0) emit dataChanged(index(firstChanged, 0), index(lastChanged, ColumnCount - 1));
    if (added.empty()) return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    endInsertRows();
}
