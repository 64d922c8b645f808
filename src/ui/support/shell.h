#pragma once

#include <functional>
#include <string>

// Asks the desktop to open a web address in the user's browser. The outcome is not reported.
void OpenUrl(const std::string& url);
// Asks the desktop to open fileName of directory (a local path, bytes as the file system holds them) in the
// user's viewer for its type. A missing file is the viewer's business.
void OpenFileInDirectory(const std::string& directory, const std::string& fileName);
// The directory of the program's executable, ending in "/".
std::string ExecutableDirectory();

// Tests replace the desktop with a recorder of the URL that would be opened; an empty hook restores the desktop.
using ShellHook = std::function<void(const std::string& url)>;
void SetShellHook(ShellHook hook);
