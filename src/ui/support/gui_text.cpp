#include "ui/support/gui_text.h"

#include "engine/text/ansi_codec.h"

QString ToQString(std::string_view ansi) {
    bool ascii = true;
    for (char c : ansi) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return QString::fromLatin1(ansi.data(), static_cast<qsizetype>(ansi.size()));
    const std::string utf8 = AnsiCodec::System().ToUtf8(ansi);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return AnsiCodec::System().FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}
