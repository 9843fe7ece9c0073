#include "tests/support/TestCertificates.h"

#include "tests/support/Programs.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace sentrel::test {

namespace {

// One configuration per CA, for its requests and its signing, preceded by "dir = <its
// folder>"; the leaves' extensions are sections of it, so no system openssl.cnf is read.
const char* const kConfig = R"([req]
distinguished_name = dn
prompt = no
[dn]
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ca]
default_ca = signer
[signer]
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[loopback]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, IP:::1, DNS:localhost
[other_name]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.example
[services]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:api.clickatell.com, DNS:platform.clickatell.com, DNS:ntfy.sh, DNS:api.pushover.net, DNS:api.telegram.org, DNS:discord.com, DNS:hooks.slack.com
)";

// The folder lives as long as the process that made it; a forked child that exits must
// not take it away from its parent.
class OwnedFolder {
public:
    OwnedFolder() : m_owner(::getpid()) {}
    ~OwnedFolder() {
        if (::getpid() != m_owner) {
            m_dir.release(); // leaks in the child only, which is ending anyway
        }
    }
    const TempDir& Dir() const { return *m_dir; }

private:
    pid_t m_owner;
    std::unique_ptr<TempDir> m_dir = std::make_unique<TempDir>();
};

class Maker {
public:
    explicit Maker(const TempDir& dir) : m_dir(dir) {}

    // A CA signing its own certificate, with a database to sign leaves from.
    void MakeCa(const std::string& name, const std::string& commonName) {
        const std::string folder = m_dir.File(name);
        std::filesystem::create_directories(folder);
        WriteFile(Config(name), "dir = " + folder + "\n" + kConfig);
        WriteFile(folder + "/index.txt", "");
        WriteFile(folder + "/serial", "1000\n");
        Key(folder + "/ca.key");
        Run({"openssl", "req", "-config", Config(name), "-new", "-x509", "-key", folder + "/ca.key",
             "-subj", "/CN=" + commonName, "-extensions", "ca_ext", "-days", "3650", "-out",
             folder + "/ca.pem"});
    }

    // A leaf signed by CA `ca`; `startDate`/`endDate` (YYYYMMDDHHMMSSZ) when given, else
    // valid from now for a year.
    TestCertificate MakeLeaf(const std::string& ca, const std::string& name,
                             const std::string& commonName, const std::string& extensions,
                             const std::string& startDate = {}, const std::string& endDate = {}) {
        const std::string folder = m_dir.File(ca);
        TestCertificate leaf{m_dir.File(name + ".pem"), m_dir.File(name + ".key")};
        Key(leaf.key);
        const std::string request = m_dir.File(name + ".csr");
        Run({"openssl", "req", "-config", Config(ca), "-new", "-key", leaf.key, "-subj",
             "/CN=" + commonName, "-out", request});
        std::vector<std::string> sign = {"openssl",     "ca",
                                         "-batch",      "-notext",
                                         "-config",     Config(ca),
                                         "-cert",       folder + "/ca.pem",
                                         "-keyfile",    folder + "/ca.key",
                                         "-in",         request,
                                         "-out",        leaf.cert,
                                         "-extensions", extensions};
        if (startDate.empty()) {
            sign.insert(sign.end(), {"-days", "365"});
        } else {
            sign.insert(sign.end(), {"-startdate", startDate, "-enddate", endDate});
        }
        Run(sign);
        return leaf;
    }

    // A folder with the CA under "<subject hash>.0", the name OpenSSL looks up.
    std::string HashedFolder(const std::string& caFile) {
        const std::string folder = m_dir.File("trusted");
        std::filesystem::create_directories(folder);
        std::string hash = Run({"openssl", "x509", "-noout", "-subject_hash", "-in", caFile});
        hash.erase(hash.find_last_not_of("\r\n") + 1);
        std::filesystem::copy_file(caFile, folder + "/" + hash + ".0");
        return folder;
    }

private:
    std::string Config(const std::string& ca) const { return m_dir.File(ca + "/openssl.cnf"); }

    void Key(const std::string& path) {
        Run({"openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
             "-out", path});
    }

    std::string Run(const std::vector<std::string>& argv) {
        const ProgramResult result = RunProgram(argv);
        if (result.exitCode != 0) {
            std::string command;
            for (const std::string& arg : argv) {
                command += arg + " ";
            }
            throw std::runtime_error("making the test certificates failed: " + command + "\n" +
                                     result.err);
        }
        return result.out;
    }

    const TempDir& m_dir;
};

TestCertificates Make(const TempDir& dir) {
    Maker maker(dir);
    maker.MakeCa("ca", "Sentrel Test CA");
    maker.MakeCa("rogue", "Sentrel Untrusted CA");
    TestCertificates made;
    made.caFile = dir.File("ca/ca.pem");
    made.caDir = maker.HashedFolder(made.caFile);
    made.valid = maker.MakeLeaf("ca", "valid", "localhost", "loopback");
    made.expired = maker.MakeLeaf("ca", "expired", "localhost", "loopback", "20200101000000Z",
                                  "20210101000000Z");
    made.otherName = maker.MakeLeaf("ca", "other-name", TestCertificates::kOtherName, "other_name");
    made.services = maker.MakeLeaf("ca", "services", "api.clickatell.com", "services");
    made.untrusted = maker.MakeLeaf("rogue", "untrusted", "localhost", "loopback");
    return made;
}

} // namespace

namespace {

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetVariable(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

} // namespace

ScopedTrust::ScopedTrust(const std::optional<std::string>& file,
                         const std::optional<std::string>& dir)
    : m_file(Variable("SSL_CERT_FILE")), m_dir(Variable("SSL_CERT_DIR")) {
    SetVariable("SSL_CERT_FILE", file);
    SetVariable("SSL_CERT_DIR", dir);
}

ScopedTrust::~ScopedTrust() {
    SetVariable("SSL_CERT_FILE", m_file);
    SetVariable("SSL_CERT_DIR", m_dir);
}

const TestCertificates& Certificates() {
    static const OwnedFolder folder;
    static const TestCertificates made = Make(folder.Dir());
    return made;
}

} // namespace sentrel::test
