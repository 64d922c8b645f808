#pragma once

#include <QString>

#include <optional>

#include "engine/search/search_history.h"

// The phrase box's history in the data folder (kSearchHistoryFileName). A missing or unreadable file is an empty
// history. Saving replaces the file whole or not at all; nullopt on success, else the message naming file and reason.
// GUI thread; blocks on the disk.
SearchHistory LoadSearchHistory(const QString& fileName);
std::optional<QString> SaveSearchHistory(const SearchHistory& history, const QString& fileName);
