#include "engine/sys/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

std::optional<std::string> ReadRegularFile(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> content;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        content.emplace(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t got = 0;
        while (got < content->size()) {
            const ssize_t n = read(fd, content->data() + got, content->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                content.reset();
                break;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (content) content->resize(got);
    }
    close(fd);
    return content;
}
