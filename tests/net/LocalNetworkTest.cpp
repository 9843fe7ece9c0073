#include "net/LocalNetwork.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

namespace sentrel {
namespace {

sockaddr_storage Address(const char* text) {
    sockaddr_storage storage{};
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    if (inet_pton(AF_INET, text, &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        std::memcpy(&storage, &v4, sizeof v4);
    } else if (inet_pton(AF_INET6, text, &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        std::memcpy(&storage, &v6, sizeof v6);
    } else {
        ADD_FAILURE() << "not an address: " << text;
    }
    return storage;
}

TEST(LocalNetwork, OnlyThisMachineAndItsLocalNetworkAreLocal) {
    const struct {
        const char* address;
        bool local;
    } cases[] = {
        {"127.0.0.1", true},
        {"127.255.255.254", true},
        {"10.0.0.1", true},
        {"10.255.255.255", true},
        {"172.16.0.1", true},
        {"172.31.255.255", true},
        {"172.15.255.255", false},
        {"172.32.0.1", false},
        {"192.168.1.10", true},
        {"192.169.0.1", false},
        {"169.254.3.4", true},
        {"169.253.0.1", false},
        {"8.8.8.8", false},
        {"100.64.0.1", false},
        {"0.0.0.0", false},
        {"11.0.0.1", false},
        {"::1", true},
        {"::", false},
        {"::2", false},
        {"fc00::1", true},
        {"fdff:1::5", true},
        {"fe00::1", false},
        {"fe80::1", true},
        {"febf::1", true},
        {"fec0::1", false},
        {"2001:db8::1", false},
        {"::ffff:127.0.0.1", true},
        {"::ffff:192.168.0.9", true},
        {"::ffff:8.8.8.8", false},
        {"::127.0.0.1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLocalAddress(Address(c.address)), c.local) << c.address;
    }
    sockaddr_storage other{};
    other.ss_family = AF_UNIX;
    EXPECT_FALSE(IsLocalAddress(other));
}

} // namespace
} // namespace sentrel
