#pragma once

// HUBSIFT_LOG=error|warning|info|debug sends the engine's log at that level and above to stderr for the life of this
// object; an unknown level is reported on stderr under programName and ignored. Create it first in main, so the sink
// is removed (and drained) only after every window and worker is gone.
class StderrLog {
public:
    explicit StderrLog(const char* programName);
    ~StderrLog();
    StderrLog(const StderrLog&) = delete;
    StderrLog& operator=(const StderrLog&) = delete;

private:
    bool m_installed = false;
};
