#include "engine/sys/data_dir.h"

#include <sys/stat.h>

#include <cstdlib>

namespace {

void DropTrailingSlashes(std::string& folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
}

bool DirectoryExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string JoinPath(const std::string& folder, const char* name) {
    return (folder.back() == '/' ? folder : folder + "/") + name;
}

// Creates the directory unless it is there already.
bool EnsureDirectory(const std::string& path) {
    return DirectoryExists(path) || mkdir(path.c_str(), 0700) == 0;
}

// The XDG data home itself may be missing on a new account; it is created with its parents, as XDG asks.
bool EnsureDirectoryTree(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (!EnsureDirectory(path.substr(0, slash))) return false;
    }
    return EnsureDirectory(path);
}

}  // namespace

std::string LocalAppDataFolder(const char* xdgDataHome, const char* home) {
    std::string folder;
    // Relative values are invalid for XDG and ignored.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        folder = xdgDataHome;
    } else if (home != nullptr && home[0] == '/') {
        folder = JoinPath(home, ".local/share");
    }
    DropTrailingSlashes(folder);
    return folder;
}

AppDataDirResult PrepareAppDataDir(const std::string& localAppDataFolder) {
    if (localAppDataFolder.empty()) return {std::nullopt, kDataDirFindError};
    const std::string vendor = JoinPath(localAppDataFolder, "Brindlework");
    const std::string appDir = JoinPath(vendor, "Hubsift");
    if (!DirectoryExists(appDir) &&
        !(EnsureDirectoryTree(localAppDataFolder) && EnsureDirectory(vendor) && EnsureDirectory(appDir))) {
        return {std::nullopt, kDataDirCreateError};
    }
    return {appDir, ""};
}

AppDataDirResult PrepareAppDataDirFromEnvironment() {
    return PrepareAppDataDir(LocalAppDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
}

AppDataDirResult PrepareChosenDataDir(std::string folder) {
    if (folder.empty()) return {std::nullopt, kDataDirFindError};
    DropTrailingSlashes(folder);
    if (!EnsureDirectoryTree(folder)) return {std::nullopt, kDataDirCreateError};
    return {folder, ""};
}
