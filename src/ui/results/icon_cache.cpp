#include "ui/results/icon_cache.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

#include "engine/results/search_result.h"
#include "ui/support/gui_text.h"

namespace {

QIcon FetchThemeIcon(const std::string& key) {
    QStyle* style = QApplication::style();
    if (key == kDirectorySizeText)
        return QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirIcon));
    // The key stands for a file name of that type, which need not exist.
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("file") + ToQString(key), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = style->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

}  // namespace

IconCache::IconCache(Fetch fetch) : m_fetch(fetch ? std::move(fetch) : Fetch(FetchThemeIcon)) {}

std::string IconCache::KeyFor(std::string_view fileName, bool isDirectory) {
    if (isDirectory) return std::string(kDirectorySizeText);
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || fileName.find_first_of("\\:", dot) != std::string_view::npos) return {};
    std::string key(fileName.substr(dot));
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return key;
}

QIcon IconCache::Icon(const std::string& key) {
    const auto found = m_icons.find(key);
    if (found != m_icons.end()) return found->second;
    QIcon icon = m_fetch(key);
    if (!icon.isNull()) m_icons.emplace(key, icon);
    return icon;
}
