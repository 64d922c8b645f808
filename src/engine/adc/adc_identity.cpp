#include "engine/adc/adc_identity.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "engine/adc/base32.h"
#include "engine/adc/tiger_hash.h"

namespace {

constexpr std::size_t kPidBytes = 24;

std::string ErrorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

std::string FileError(const std::string& path, int error) {
    return "Cannot write " + path + ": " + ErrorText(error);
}

std::optional<AdcIdentity> ReadIdentity(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    const std::optional<std::string> cid = AdcCidOfPid(text);
    if (!cid) return std::nullopt;
    return AdcIdentity{text, *cid};
}

bool FillRandom(std::span<uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t got = getrandom(bytes.data(), bytes.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes the PID beside path and puts it in place: beside a missing file without replacing one that appears
// meanwhile (another instance's), over a file without a PID.
std::optional<std::string> StorePid(const std::string& path, const std::string& pid, bool replace) {
    std::string tempName = path + ".XXXXXX";
    const int fd = mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0) return FileError(path, errno);
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, pid + "\n") && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && (replace ? rename(tempName.c_str(), path.c_str()) : link(tempName.c_str(), path.c_str())) != 0 &&
        (replace || errno != EEXIST)) {
        ok = false;
        error = errno;
    }
    unlink(tempName.c_str());
    if (!ok) return FileError(path, error);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> AdcCidOfPid(std::string_view pid) {
    const std::optional<std::vector<uint8_t>> bytes = Base32Decode(pid);
    if (!bytes || bytes->size() != kPidBytes) return std::nullopt;
    const TigerDigest cid = TigerHash(*bytes);
    return Base32Encode(cid);
}

AdcIdentityLoad LoadOrCreateAdcIdentity(const std::string& dataDir) {
    const std::string path = dataDir + "/" + kAdcPidFileName;
    if (std::optional<AdcIdentity> stored = ReadIdentity(path)) return {std::move(stored), {}};
    const bool replace = access(path.c_str(), F_OK) == 0;
    std::array<uint8_t, kPidBytes> pid{};
    if (!FillRandom(pid)) return {std::nullopt, "No random bytes for the ADC identity: " + ErrorText(errno)};
    if (std::optional<std::string> error = StorePid(path, Base32Encode(pid), replace)) return {std::nullopt, *error};
    // Read back: when another instance was first, its PID is the one in the file.
    if (std::optional<AdcIdentity> stored = ReadIdentity(path)) return {std::move(stored), {}};
    return {std::nullopt, "Cannot read " + path};
}
