#pragma once

// A web service's stand-in on 127.0.0.1, over http or, with a certificate of the test CA,
// over https: it reads each request whole (its head and the body its Content-Length
// gives), keeps its bytes, and answers with what the test's script gives for it.

#include "tests/net/LoopbackServer.h"
#include "tests/support/TestCertificates.h"

#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sentrel::test {

class ServiceStandIn {
public:
    // The whole reply to one request.
    using Script = std::function<std::string(const std::string& request)>;

    // Over https with `certificate` when it is given.
    explicit ServiceStandIn(Script script, const TestCertificate* certificate = nullptr)
        : m_script(std::move(script)), m_certificate(certificate),
          m_server([this](CServerSession& session) { Serve(session); }) {}

    int Port() const { return m_server.Port(); }
    // "127.0.0.1:PORT".
    std::string Host() const { return "127.0.0.1:" + std::to_string(Port()); }
    // The requests received so far, each as its bytes came.
    std::vector<std::string> Requests() const {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // A reply with a status and a body.
    static std::string Reply(int status, const std::string& body,
                             const std::string& type = "application/json") {
        return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Type: " + type +
               "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void Serve(CServerSession& session) {
        if (m_certificate && !session.StartTls(*m_certificate)) {
            return;
        }
        std::string request = session.ReadUntil("\r\n\r\n");
        const std::string length = "\r\nContent-Length: ";
        if (const auto at = request.find(length); at != std::string::npos) {
            request +=
                session.Read(std::strtoul(request.c_str() + at + length.size(), nullptr, 10));
        }
        {
            const std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        session.Write(m_script(request));
    }

    Script m_script;
    const TestCertificate* m_certificate;
    mutable std::mutex m_mutex; // guards m_requests: the server has a thread of its own
    std::vector<std::string> m_requests;
    CLoopbackServer m_server; // last: it serves at once
};

} // namespace sentrel::test
