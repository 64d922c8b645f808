#include "ui/support/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace {

ShellHook& Hook() {
    static ShellHook hook;
    return hook;
}

void Open(const QUrl& url) {
    if (Hook()) {
        Hook()(url.toString(QUrl::FullyEncoded).toStdString());
        return;
    }
    QDesktopServices::openUrl(url);
}

}  // namespace

void OpenUrl(const std::string& url) {
    Open(QUrl(QString::fromStdString(url)));
}

void OpenFileInDirectory(const std::string& directory, const std::string& fileName) {
    Open(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(directory + fileName))));
}

std::string ExecutableDirectory() {
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

void SetShellHook(ShellHook hook) {
    Hook() = std::move(hook);
}
