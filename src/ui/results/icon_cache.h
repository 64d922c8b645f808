#pragma once

#include <QIcon>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

// Small file-type icons of the result list, one per key: the lower-case extension of a file name, or "<DIR>" for
// directories. A key is fetched once for the life of the cache; a failed (null) fetch is not kept and is retried.
// GUI thread only.
class IconCache {
public:
    using Fetch = std::function<QIcon(const std::string& key)>;

    // fetch defaults to the icon theme through the MIME database, with the style's icons as fallback; without a
    // desktop icon theme, an installed freedesktop theme (Adwaita, breeze or Tango) is used.
    explicit IconCache(Fetch fetch = {});

    // "<DIR>" for a directory; else the text from the last "." of fileName (UTF-8), if no "\" or ":" follows it, in
    // lower case; empty otherwise.
    static std::string KeyFor(std::string_view fileName, bool isDirectory);

    QIcon Icon(const std::string& key);
    std::size_t Count() const { return m_icons.size(); }

private:
    Fetch m_fetch;
    std::unordered_map<std::string, QIcon> m_icons;
};
