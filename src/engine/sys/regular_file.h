#pragma once

#include <optional>
#include <string>

// The whole content of a regular file, read-only, or nullopt when the file is missing or unreadable or is no regular
// file (a folder, a FIFO, a device): nothing but a regular file is read, and opening it never blocks. A file that
// shrinks while being read is taken as far as it went.
std::optional<std::string> ReadRegularFile(const std::string& path);
