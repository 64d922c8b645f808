#include "ui/results/icon_cache.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

#include "engine/results/search_result.h"
#include "engine/text/ascii_case.h"
#include "engine/text/utf8.h"
#include "ui/support/gui_text.h"

namespace {

// A desktop without an icon theme (a bare window manager, or no platform theme) leaves every file type with the
// style's one blank icon. Then an installed freedesktop theme serves as the fallback; the desktop's own theme, when
// it names one, still comes first.
void UseInstalledIconThemeIfNeeded() {
    if (QIcon::hasThemeIcon(QStringLiteral("text-x-generic"))) return;
    QStringList searchPaths = QIcon::themeSearchPaths();
    for (const QString& dir : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                        QStandardPaths::LocateDirectory)) {
        if (!searchPaths.contains(dir)) searchPaths << dir;
    }
    for (const char* theme : {"Adwaita", "breeze", "Tango"}) {
        const QString name = QString::fromLatin1(theme);
        const bool installed = std::any_of(searchPaths.cbegin(), searchPaths.cend(), [&name](const QString& dir) {
            return QFileInfo::exists(dir + QLatin1Char('/') + name + QStringLiteral("/index.theme"));
        });
        if (!installed) continue;
        QIcon::setFallbackThemeName(name);
        // The fallback is searched only from a named theme; hicolor is the base that every theme extends.
        if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("hicolor"));
        break;
    }
    // Set last: it also drops the themes read so far, which were read without the fallback.
    QIcon::setThemeSearchPaths(searchPaths);
}

QIcon FetchThemeIcon(const std::string& key) {
    static const bool themeChosen = (UseInstalledIconThemeIfNeeded(), true);
    (void)themeChosen;
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
    const std::string_view extension = fileName.substr(dot);
    if (IsAscii(extension)) return AsciiLower(extension);
    // Names are UTF-8: other letters lower the Unicode way, so ".ДОК" and ".док" share one icon.
    return FromQString(ToQString(extension).toLower());
}

QIcon IconCache::Icon(const std::string& key) {
    const auto found = m_icons.find(key);
    if (found != m_icons.end()) return found->second;
    QIcon icon = m_fetch(key);
    if (!icon.isNull()) m_icons.emplace(key, icon);
    return icon;
}
