#pragma once

#include <optional>
#include <string>
#include <string_view>

// Replaces a file whole or not at all. The new content goes into a temporary file beside the target (the target's
// name followed by "." and six characters), which is flushed to disk, given the old file's permissions (a new file
// gets 0644 less the umask) and renamed over the target; then the folder is flushed, so that after a crash the name
// holds either the old or the new content. The first failure sticks: later writes do nothing and Commit reports it.
// One thread at a time; blocks on the disk.
class FileReplacement {
public:
    explicit FileReplacement(std::string target);
    // Removes the temporary file unless Commit succeeded.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Appends to the new content; false once anything has failed.
    bool Write(std::string_view data);
    // The first failure so far (the same text Commit would give), or nullopt.
    const std::optional<std::string>& Error() const { return m_error; }
    // Puts the new content in place. nullopt on success, else the error text, naming the target and the system's
    // reason; the target is then as it was.
    std::optional<std::string> Commit();

private:
    void Fail(int error);
    void Discard();

    const std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    std::optional<std::string> m_error;
};
