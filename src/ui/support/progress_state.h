#pragma once

class QProgressBar;

// The display states of a Windows progress bar, shown by colour: normal, error (red), paused (yellow).
enum class ProgressState { Normal = 1, Error = 2, Paused = 3 };

void SetProgressState(QProgressBar* bar, ProgressState state);
ProgressState GetProgressState(const QProgressBar* bar);

// Sets the maximum; a maximum of 0 (no hubs, or no size announced) shows an empty bar, not Qt's busy animation.
void SetProgressMaximum(QProgressBar* bar, long long maximum);
// The maximum as set, 0 included.
long long ProgressMaximum(const QProgressBar* bar);
