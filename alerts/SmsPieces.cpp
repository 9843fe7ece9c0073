#include "alerts/SmsPieces.h"

#include "net/Encoders.h"
#include "platform/Text.h"

#include <algorithm>

namespace sentrel {

namespace {

// Bytes of the character at text[at]: a UTF-8 sequence, otherwise the one byte.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
    return std::max<std::size_t>(Utf8SequenceLength(text, at), 1);
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
        size += measure == PieceMeasure::Characters ? 1
                : measure == PieceMeasure::Bytes
                    ? static_cast<std::int64_t>(character.size())
                    : static_cast<std::int64_t>(EscapedLength(character));
        if (size > limit) {
            break;
        }
        end += length;
    }
    // Every piece takes something, or the rest of the text would never be sent.
    return end == 0 ? CharacterLength(text, 0) : end;
}

} // namespace sentrel
