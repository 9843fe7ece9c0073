#pragma once

// Fakes of the network services for tests; install them with ScopedNetwork.

#include "services/NetworkServices.h"

#include <functional>
#include <string>

namespace sentrel::test {

// Counts the connection requests and runs `onRequest`, when set, at each.
class FakeConnectionRequest : public IConnectionRequester {
public:
    void RequestConnection() override {
        ++requests;
        if (onRequest) {
            onRequest();
        }
    }
    int requests = 0;
    std::function<void()> onRequest;
};

// Serves web pages through `onFetch`: true with the body, false with the result text.
class FakeWebPages : public IWebPageFetcher {
public:
    using Answer = std::function<bool(const std::string& url, const std::string& user,
                                      const std::string& password, std::string& body,
                                      std::string& resultText)>;
    explicit FakeWebPages(Answer answer) : onFetch(std::move(answer)) {}
    bool Fetch(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string&) override {
        return onFetch(url, user, password, body, resultText);
    }
    Answer onFetch;
};

} // namespace sentrel::test
