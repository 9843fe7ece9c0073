#pragma once

// Base64 (standard alphabet, "=" padding, no line breaks) for the SMTP authentication
// exchanges and the HTTP Basic credentials.

#include <string>
#include <string_view>

namespace sentrel {

class CBase64Coder {
public:
    // The base64 text of the bytes, on one line however long.
    static std::string Encode(std::string_view bytes);

    // The bytes of a base64 text, read leniently. White space (bytes 7 to 13 and the
    // space) is skipped and nothing is rejected: a byte outside the alphabet reads as the
    // value 62, "=" as 63 in the first two places of a group and as 0 in the last two, and
    // a short last group as if completed with zero values, giving as many bytes as it has
    // characters. Padding thus leaves zero bytes behind the text: callers read the result
    // up to its first zero byte.
    static std::string Decode(std::string_view text);
};

} // namespace sentrel
