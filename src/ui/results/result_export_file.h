#pragma once

#include <QString>

#include <optional>

#include "engine/results/result_export.h"

class ResultModel;

// Writes the rows model shows (after its filter, in the order shown) to fileName as format, replacing the file whole
// or not at all (a temporary file beside it, flushed to disk and renamed over it). nullopt on success, else the
// message to show: which file and why. GUI thread; blocks on the disk.
std::optional<QString> ExportShownRows(const ResultModel& model, const QString& fileName, ExportFormat format);
