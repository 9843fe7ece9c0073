#include "alerts/SmsPieces.h"

#include "net/Encoders.h"

namespace sentrel {

namespace {

// Bytes of the character at text[at]: a UTF-8 lead byte with all its continuation bytes,
// otherwise the one byte.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (at + length > text.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

} // namespace

std::size_t FirstPieceLength(std::string_view text, std::int64_t limit, PieceMeasure measure) {
    if (limit <= 0 || text.empty()) {
        return 0;
    }
    std::size_t end = 0;
    std::int64_t size = 0;
    while (end < text.size()) {
        const std::size_t length = CharacterLength(text, end);
        const std::string_view character = text.substr(end, length);
        size += static_cast<std::int64_t>(
            measure == PieceMeasure::Bytes ? character.size() : EscapedLength(character));
        if (size > limit) {
            break;
        }
        end += length;
    }
    // Every piece takes something, or the rest of the text would never be sent.
    return end == 0 ? CharacterLength(text, 0) : end;
}

} // namespace sentrel
