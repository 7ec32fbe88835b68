#include "platform/ansi.h"

#include "platform/ansi_codec.h"

namespace volnor {

std::optional<QByteArray> toAnsi(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const auto ansi = utf8ToAnsi(std::string_view(utf8.constData(), utf8.size()));
    if (!ansi) return std::nullopt;
    return QByteArray(ansi->data(), static_cast<qsizetype>(ansi->size()));
}

QString fromAnsi(const QByteArray& bytes) {
    const std::string utf8 = ansiToUtf8(std::string_view(bytes.constData(), bytes.size()));
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace volnor
