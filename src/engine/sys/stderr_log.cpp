#include "engine/sys/stderr_log.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "engine/sys/log.h"
#include "engine/sys/stream_log_sink.h"

StderrLog::StderrLog(const char* programName) {
    const char* name = std::getenv("HUBSIFT_LOG");
    if (name == nullptr || *name == '\0') return;
    const std::optional<LogLevel> level = ParseLogLevel(name);
    if (!level) {
        std::fprintf(stderr, "%s: HUBSIFT_LOG=%s is not a level (error, warning, info, debug)\n", programName, name);
        return;
    }
    InstallLogSink(std::make_shared<StreamLogSink>(STDERR_FILENO), *level);
    m_installed = true;
}

StderrLog::~StderrLog() {
    if (m_installed) RemoveLogSink();
}
