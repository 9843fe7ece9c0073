#pragma once

// Reading the JSON replies of the web services that alerts talk to (the SMS gateway's
// current platform, the push services), and writing the JSON they are sent. JSON here is
// nlohmann's: the replies nest objects in lists and escape their text, which a parser of
// our own would have to get right a second time.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace sentrel {

// Objects keep their members in the order they are given, as the services document them.
using Json = nlohmann::ordered_json;

// The reply as JSON; a discarded value when it is not JSON.
Json ParseJsonReply(std::string_view body);

// The JSON text of a value, UTF-8 as it is (text that is not UTF-8 is made so first by
// the caller), on one line.
std::string JsonBody(const Json& value);

// What a service's JSON object says went wrong: its "error" and its description
// ("errorDescription" or "description"), joined by ": "; otherwise its "errors" (a list
// of texts), joined by "; "; otherwise its "message". Empty when it says none of these.
std::string JsonErrorText(const Json& object);

// The start of a reply for a message: at most `bytes` bytes of it, ending early rather
// than inside a character.
std::string StartOfReply(std::string_view text, std::size_t bytes);

} // namespace sentrel
