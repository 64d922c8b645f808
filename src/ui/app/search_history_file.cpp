#include "ui/app/search_history_file.h"

#include <QFile>
#include <QSaveFile>

SearchHistory LoadSearchHistory(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll();
    return SearchHistory::FromText(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

std::optional<QString> SaveSearchHistory(const SearchHistory& history, const QString& fileName) {
    QSaveFile file(fileName);
    const std::string text = history.ToText();
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) && file.commit())
        return std::nullopt;
    return QObject::tr("Hubsift could not save the search history to\n\n%1\n\n%2").arg(fileName, file.errorString());
}
