#pragma once

// Runs a piece of a test in a forked child inside a fresh network namespace of its own,
// so that tests can make a host silent or allow unprivileged ICMP without touching the
// machine's settings. The namespace ends with the child.

#include <functional>
#include <string>

namespace sentrel::test {

struct NetNamespaceOptions {
    // Drop echo requests to 127.0.0.2 (nft), so that address never answers.
    bool silence127_0_0_2 = false;
    // Give lo the address kSilentIpv6Host and drop echo requests to it (nft), so that an
    // IPv6 address is reachable but never answers.
    bool silenceIpv6Host = false;
    // Open net.ipv4.ping_group_range to every group (unprivileged ICMP sockets).
    bool openPingGroupRange = false;
    // Run the body as the user "nobody" (uid and gid 65534, no supplementary groups).
    bool asNobody = false;
    // The child is killed when it takes longer.
    int limitMs = 30000;
};

// The IPv6 address that silenceIpv6Host adds, a documentation address no one else uses.
inline constexpr const char* kSilentIpv6Host = "2001:db8::2";

struct NetNamespaceRun {
    bool ok = false;    // the namespace was set up and the body ran to its end
    std::string error;  // why not, when !ok
    std::string output; // what the body returned
};

// `body` runs in the child; its return value travels back in `output`.
NetNamespaceRun RunInNetNamespace(const NetNamespaceOptions& options,
                                  const std::function<std::string()>& body);

} // namespace sentrel::test
