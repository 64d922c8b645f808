#include "engine/sys/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "engine/sys/system_error.h"

namespace {

constexpr mode_t kNewFileMode = 0644;  // the kernel takes the umask off
constexpr int kNameAttempts = 100;

std::string RandomSuffix(std::mt19937& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix = ".";
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(random)];
    return suffix;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable. Some file systems cannot flush a folder; the new content is in place either way.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

FileReplacement::FileReplacement(std::string target) : m_target(std::move(target)) {
    struct stat old {};
    const bool replacing = stat(m_target.c_str(), &old) == 0;
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < kNameAttempts && m_fd < 0; ++attempt) {
        m_temporary = m_target + RandomSuffix(random);
        m_fd = open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) {
        const int error = errno;
        m_temporary.clear();
        Fail(error);
        return;
    }
    if (replacing && fchmod(m_fd, old.st_mode & 07777) != 0) Fail(errno);
}

FileReplacement::~FileReplacement() {
    Discard();
}

bool FileReplacement::Write(std::string_view data) {
    while (!m_error && !data.empty()) {
        const ssize_t written = write(m_fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            Fail(written < 0 ? errno : EIO);
        } else {
            data.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    return !m_error;
}

std::optional<std::string> FileReplacement::Commit() {
    if (!m_error && fsync(m_fd) != 0) Fail(errno);
    if (!m_error) {
        const int fd = m_fd;
        m_fd = -1;
        if (close(fd) != 0) Fail(errno);
    }
    if (!m_error && std::rename(m_temporary.c_str(), m_target.c_str()) != 0) Fail(errno);
    if (m_error) {
        Discard();
        return m_error;
    }
    m_temporary.clear();
    SyncFolder(FolderOf(m_target));
    return std::nullopt;
}

void FileReplacement::Fail(int error) {
    if (!m_error) m_error = "Cannot create file \"" + m_target + "\". " + SystemErrorText(error);
}

void FileReplacement::Discard() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) unlink(m_temporary.c_str());
    m_temporary.clear();
}
