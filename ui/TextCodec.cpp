#include "ui/TextCodec.h"

#include "platform/Text.h"

namespace sentrel {

QString FromStored(const std::string& bytes) {
    if (IsUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        // Every character of Windows-1252 is one UTF-16 unit.
        text += QChar(static_cast<char16_t>(Windows1252CodePoint(static_cast<unsigned char>(c))));
    }
    return text;
}

std::string ToStored(const QString& edited, const std::string& original) {
    if (edited == FromStored(original)) {
        return original;
    }
    return edited.toStdString();
}

} // namespace sentrel
