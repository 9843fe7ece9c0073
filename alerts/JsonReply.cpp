#include "alerts/JsonReply.h"

#include "alerts/SmsPieces.h"

namespace sentrel {

namespace {

std::string TextMember(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::string Joined(const std::string& first, const std::string& second, const char* between) {
    if (first.empty() || second.empty()) {
        return first + second;
    }
    return first + between + second;
}

} // namespace

Json ParseJsonReply(std::string_view body) {
    return Json::parse(body.begin(), body.end(), nullptr, false);
}

std::string JsonBody(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string JsonErrorText(const Json& object) {
    if (!object.is_object()) {
        return {};
    }
    std::string description = TextMember(object, "errorDescription");
    if (description.empty()) {
        description = TextMember(object, "description");
    }
    std::string text = Joined(TextMember(object, "error"), description, ": ");
    if (!text.empty()) {
        return text;
    }
    if (const auto errors = object.find("errors"); errors != object.end() && errors->is_array()) {
        for (const Json& error : *errors) {
            if (error.is_string()) {
                text = Joined(text, error.get<std::string>(), "; ");
            }
        }
        if (!text.empty()) {
            return text;
        }
    }
    return TextMember(object, "message");
}

std::string StartOfReply(std::string_view text, std::size_t bytes) {
    const std::size_t length =
        FirstPieceLength(text, static_cast<std::int64_t>(bytes), PieceMeasure::Bytes);
    // A first character longer than the limit itself is no start at all.
    return std::string(text.substr(0, length <= bytes ? length : 0));
}

} // namespace sentrel
