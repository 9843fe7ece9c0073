#pragma once

// Certificates for the TLS tests, made with the openssl command once per test process
// into a temporary folder that goes when the process ends: a test CA, a leaf it signs for
// 127.0.0.1, ::1 and localhost, an expired leaf for the same names, a leaf for another
// name only, a leaf for the public services' names (for stand-ins a proxy's tunnel leads
// to), and a leaf for the same names from a second CA that nothing trusts.
// Clients trust the test CA through SSL_CERT_FILE (CaFile) or SSL_CERT_DIR (CaDir).

#include <optional>
#include <string>

namespace sentrel::test {

struct TestCertificate {
    std::string cert; // PEM certificate (the leaf alone)
    std::string key;  // PEM private key, unencrypted
};

struct TestCertificates {
    std::string caFile;        // the test CA's certificate
    std::string caDir;         // a folder holding it under its hash name, as SSL_CERT_DIR wants
    TestCertificate valid;     // 127.0.0.1, ::1, localhost; valid now
    TestCertificate expired;   // the same names; expired since 2021
    TestCertificate otherName; // other.example only
    TestCertificate services;  // the SMS gateway's and the push services' public names
    TestCertificate untrusted; // the same names as valid, from a CA not in caFile
    static constexpr const char* kOtherName = "other.example";

    // "SSL_CERT_FILE=<caFile>", for a program the test starts.
    std::string TrustFileSetting() const { return "SSL_CERT_FILE=" + caFile; }
};

// Made on first use; throws std::runtime_error (with openssl's words) when they cannot be.
const TestCertificates& Certificates();

// Sets SSL_CERT_FILE and SSL_CERT_DIR (or removes those given as nothing) for its life,
// and puts back what was there before.
class ScopedTrust {
public:
    ScopedTrust(const std::optional<std::string>& file, const std::optional<std::string>& dir);
    ~ScopedTrust();
    ScopedTrust(const ScopedTrust&) = delete;
    ScopedTrust& operator=(const ScopedTrust&) = delete;

private:
    std::optional<std::string> m_file;
    std::optional<std::string> m_dir;
};

} // namespace sentrel::test
