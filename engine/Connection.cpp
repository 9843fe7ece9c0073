#include "engine/Connection.h"

namespace sentrel {

namespace {
std::function<void()>& Requester() {
    static std::function<void()> requester;
    return requester;
}
} // namespace

void RequestConnection() {
    if (Requester()) {
        Requester()();
    }
}

std::function<void()> SetConnectionRequester(std::function<void()> requester) {
    std::function<void()> previous = std::move(Requester());
    Requester() = std::move(requester);
    return previous;
}

} // namespace sentrel
