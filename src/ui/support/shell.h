#pragma once

#include <functional>
#include <string>

class QWidget;

// Asks the desktop to open a web address in the user's browser. When no program takes it (no opener installed), a
// message box over parent gives the address, so the user can open it by hand.
void OpenUrl(const std::string& url, QWidget* parent);
// Asks the desktop to open fileName of directory (a local path, bytes as the file system holds them) in the user's
// viewer for its type; when no program takes it, a message box over parent gives the path. A missing file is the
// viewer's business.
void OpenFileInDirectory(const std::string& directory, const std::string& fileName, QWidget* parent);
// The directory of the program's executable, ending in "/".
std::string ExecutableDirectory();
// The directory, ending in "/", that holds the program's data file fileName: executableDirectory itself (a build
// tree), else the installed data folder relative to it (../share/hubsift/ for an install under one prefix), which is
// also the answer when neither holds it.
std::string DataFileDirectory(const std::string& executableDirectory, const std::string& fileName);

// Tests replace the desktop with a recorder of the URL that would be opened, which answers whether a program took
// it; an empty hook restores the desktop.
using ShellHook = std::function<bool(const std::string& url)>;
void SetShellHook(ShellHook hook);
