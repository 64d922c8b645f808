#pragma once

#include <string>

#include "engine/settings/app_settings.h"

class ConsoleSignals;
struct CliOptions;
struct CliStreams;

// hubsift-cli search: one run over every hub of the stored list in dataDir with settings, overridden by the
// options. Results go to out as they arrive; a progress line (on a terminal) and the summary to err. Ctrl+C or
// SIGTERM stops the run; answers that arrive after the last hub are collected for kLateResultsSeconds. Returns the
// exit code: 0 when the run ended normally, 1 when it could not start (one line on err), 130 when interrupted.
// Main thread.
int RunSearch(const CliOptions& options, AppSettings settings, const std::string& dataDir, ConsoleSignals& signals,
              const CliStreams& streams);

// Answers from users reach the result port after their hub has been left; strict hubs pass a search on in batches.
inline constexpr int kLateResultsSeconds = 3;
