#pragma once

// Stored text is a byte string. The windows show it as UTF-8 when it is valid UTF-8 and
// as Windows-1252 otherwise (stores brought from Windows), and write back the bytes they
// were given when the user did not change the text.

#include <QString>

#include <string>

namespace sentrel {

QString FromStored(const std::string& bytes);

// The bytes to store for `edited`: `original` itself when the text shows unchanged,
// otherwise the UTF-8 of the new text.
std::string ToStored(const QString& edited, const std::string& original = {});

} // namespace sentrel
