#include "net/Encoders.h"
#include "net/Base64Coder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace sentrel {
namespace {

// The decoded bytes as the SMTP client reads them: up to the first zero byte.
std::string DecodedText(const char* text) {
    return CBase64Coder::Decode(text).c_str();
}

TEST(Base64Coder, EncodesWithPaddingAndNoLineBreaks) {
    EXPECT_EQ(CBase64Coder::Encode("abc"), "YWJj");
    EXPECT_EQ(CBase64Coder::Encode("ab"), "YWI=");
    EXPECT_EQ(CBase64Coder::Encode("a"), "YQ==");
    EXPECT_EQ(CBase64Coder::Encode(""), "");
    EXPECT_EQ(CBase64Coder::Encode("Username:"), "VXNlcm5hbWU6");
    EXPECT_EQ(CBase64Coder::Encode(std::string("\xff\xfe\x00\x80", 4)), "//4AgA==");

    std::string hundred(100, '\0');
    for (int i = 0; i < 100; ++i) {
        hundred[i] = static_cast<char>(i * 7);
    }
    const std::string line = CBase64Coder::Encode(hundred);
    EXPECT_EQ(line.size(), 136u);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(line.substr(128), "oKeutQ==");
}

TEST(Base64Coder, DecodesLenientlyAndRoundTrips) {
    EXPECT_EQ(DecodedText("YWJj"), "abc");
    EXPECT_EQ(DecodedText("YW Jj\r\n"), "abc");
    EXPECT_EQ(DecodedText("YQ"), "a");
    EXPECT_EQ(DecodedText("UGFzc3dvcmQ6"), "Password:");
    // Padding leaves zero bytes behind; a short last group gives a byte per character.
    EXPECT_EQ(CBase64Coder::Decode("YQ=="), std::string("a\0\0", 3));
    EXPECT_EQ(CBase64Coder::Decode("YWJj YQ"), std::string("abca\0", 5));

    // Nothing is rejected: a byte outside the alphabet reads as 62, "=" in front as 63.
    EXPECT_EQ(DecodedText("Y*Jj"), DecodedText("Y+Jj"));
    EXPECT_EQ(DecodedText("=WJj"), DecodedText("/WJj"));
    // Letters with bit 7 set read as the letters.
    EXPECT_EQ(DecodedText("\xd9\xd7\xca\xea"), "abc");

    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<char>(i);
    }
    EXPECT_EQ(CBase64Coder::Decode(CBase64Coder::Encode(all)).substr(0, 256), all);
}

std::string Hex(const unsigned char* digest) {
    std::string out;
    char two[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        out += two;
    }
    return out;
}

std::string Hmac(const std::string& message, const std::string& key) {
    unsigned char digest[16];
    HmacMd5(reinterpret_cast<const unsigned char*>(message.data()), message.size(),
            reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    return Hex(digest);
}

TEST(HmacMd5, MatchesPublishedDigests) {
    EXPECT_EQ(Hmac("Hi There", std::string(16, '\x0b')), "9294727a3638bb1c13f48ef8158bfc9d");
    EXPECT_EQ(Hmac("what do ya want for nothing?", "Jefe"), "750c783e6ab0b503eaa86e310a5db738");
    // A key longer than a block is hashed first.
    EXPECT_EQ(
        Hmac("Test Using Larger Than Block-Size Key - Hash Key First", std::string(80, '\xaa')),
        "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
    // The CRAM-MD5 example exchange.
    EXPECT_EQ(Hmac("<1896.697170952@postoffice.reston.mci.net>", "tanstaaftanstaaf"),
              "b913a602c7eda7a495b4e6e7334d3890");
    EXPECT_EQ(Hmac("", ""), "74e6f7298a9c2d168935f58c001bad88");
}

TEST(EscapeForUrl, EscapesReservedControlAndHighBytes) {
    EXPECT_EQ(EscapeForUrl("a b&c"), "a%20b%26c");
    EXPECT_EQ(EscapeForUrl("~"), "%7E");
    EXPECT_EQ(EscapeForUrl("-._*()'"), "-._*()'");
    EXPECT_EQ(EscapeForUrl("AZaz09"), "AZaz09");
    EXPECT_EQ(EscapeForUrl("\"<>%\\^[]`+$,@:;/!#?=&"),
              "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26");
    EXPECT_EQ(EscapeForUrl("{|}\x7f"), "%7B%7C%7D%7F");
    EXPECT_EQ(EscapeForUrl(std::string("\n\x01\0", 3)), "%0A%01%00");
    EXPECT_EQ(EscapeForUrl("caf\xe9 \x80\xff"), "caf%E9%20%80%FF");
    EXPECT_EQ(EscapeForUrl(""), "");
}

} // namespace
} // namespace sentrel
