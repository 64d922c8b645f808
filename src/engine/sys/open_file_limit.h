#pragma once

// Raises the process's soft limit of open files to its hard limit: a sweep keeps hundreds of hub connections open
// at once (lingering hubs, connects under way), more than the usual soft limit of 1,024 allows.
void RaiseOpenFileLimit();
