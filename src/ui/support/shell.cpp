#include "ui/support/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <filesystem>

#include "ui/support/gui_text.h"
#include "ui/support/message_box.h"

namespace {

ShellHook& Hook() {
    static ShellHook hook;
    return hook;
}

// Whether a program took the URL. Qt only knows whether an opener could be started, not whether it succeeded.
bool Open(const QUrl& url) {
    if (Hook()) return Hook()(url.toString(QUrl::FullyEncoded).toStdString());
    return QDesktopServices::openUrl(url);
}

void ReportNotOpened(const char* what, const QString& address, QWidget* parent) {
    ShowMessage(std::string("Hubsift could not open ") + what + "\n\n" + FromQString(address) +
                    "\n\nbecause no program to open it was found (installing xdg-utils usually helps). "
                    "Please open it by hand.",
                MessageIcon::Error, parent);
}

}  // namespace

void OpenUrl(const std::string& url, QWidget* parent) {
    const QString address = QString::fromStdString(url);
    if (!Open(QUrl(address))) ReportNotOpened("the web page", address, parent);
}

void OpenFileInDirectory(const std::string& directory, const std::string& fileName, QWidget* parent) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(directory + fileName));
    if (!Open(QUrl::fromLocalFile(path))) ReportNotOpened("the file", path, parent);
}

std::string ExecutableDirectory() {
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

std::string DataFileDirectory(const std::string& executableDirectory, const std::string& fileName) {
    std::error_code ignored;
    if (std::filesystem::exists(executableDirectory + fileName, ignored)) return executableDirectory;
    return executableDirectory + HUBSIFT_DATA_FROM_BIN "/";
}

void SetShellHook(ShellHook hook) {
    Hook() = std::move(hook);
}
