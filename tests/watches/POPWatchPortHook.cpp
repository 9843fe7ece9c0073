// Linked only into sentrelctl_pop3_test, the test build of sentrelctl: moves every POP
// watch to the port in SENTREL_TEST_POP3_PORT, where the test's own server listens. The
// sentrelctl that users run has no such hook: its watches always use port 110.

#include "watches/POPWatch.h"

#include <cstdlib>

namespace {

const bool g_portMoved = [] {
    const char* port = std::getenv("SENTREL_TEST_POP3_PORT");
    if (port == nullptr) {
        return false;
    }
    sentrel::CPOPWatch::SetServerPort(std::atoi(port));
    return true;
}();

} // namespace
