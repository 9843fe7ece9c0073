#include "tests/net/DovecotServer.h"

#include "tests/support/Programs.h"
#include "tests/support/TestCertificates.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sentrel::test {

namespace {

constexpr int kStartLimitMs = 15000;
std::string FindDovecot() {
    return FindExecutable({"/usr/sbin/dovecot", "/usr/bin/dovecot"});
}

std::string UserName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

} // namespace

CDovecotServer::CDovecotServer(const TestCertificate* tls) : m_tls(tls) {
    // Dovecot refuses to read mail as root: then the mail belongs to "nobody", who must be
    // able to reach it through our folder.
    if (::geteuid() == 0) {
        m_mailUid = 65534;
        m_mailGid = 65534;
    } else {
        m_mailUid = ::getuid();
        m_mailGid = ::getgid();
    }
    ::chmod(m_dir.Path().c_str(), 0755);
    std::filesystem::create_directories(m_dir.File("mail"));
    std::filesystem::create_directories(m_dir.File("run"));
    GiveToMailUser(m_dir.File("mail"));
}

CDovecotServer::~CDovecotServer() {
    Stop();
}

std::string CDovecotServer::MailDir(const std::string& user) const {
    return m_dir.File("mail/" + user);
}

void CDovecotServer::GiveToMailUser(const std::string& path) const {
    if (::geteuid() == 0) {
        (void)::chown(path.c_str(), m_mailUid, m_mailGid);
    }
}

void CDovecotServer::AddUser(const std::string& user, const std::string& password) {
    m_users += user + ":{PLAIN}" + password + "\n";
    WriteFile(m_dir.File("passwd"), m_users);
    GiveToMailUser(MailDir(user));
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        const std::string folder = MailDir(user) + sub;
        std::filesystem::create_directories(folder);
        GiveToMailUser(folder);
    }
}

void CDovecotServer::Deliver(const std::string& user, const std::string& text) {
    // Written aside and moved in, so the server never sees half a message.
    const std::string name = std::to_string(1700000000 + ++m_delivered) + ".M1P1.sentrel-test";
    const std::string staged = MailDir(user) + "/tmp/" + name;
    WriteFile(staged, text);
    GiveToMailUser(staged);
    std::filesystem::rename(staged, MailDir(user) + "/new/" + name);
}

void CDovecotServer::Remove(const std::string& user, int delivered) {
    // The server renames a message it has seen into cur/, keeping the name's start.
    const std::string start = std::to_string(1700000000 + delivered) + ".";
    for (const char* folder : {"/new", "/cur"}) {
        for (const auto& entry : std::filesystem::directory_iterator(MailDir(user) + folder)) {
            if (entry.path().filename().string().starts_with(start)) {
                std::filesystem::remove(entry.path());
            }
        }
    }
}

std::string CDovecotServer::Log() const {
    std::string log;
    for (const char* name : {"dovecot.out", "dovecot.log"}) {
        if (std::filesystem::exists(m_dir.File(name))) {
            log += ReadFile(m_dir.File(name));
        }
    }
    return log;
}

bool CDovecotServer::Start(std::string* error) {
    if (FindDovecot().empty()) {
        if (error) {
            *error = "dovecot is not installed (scripts/install-deps.sh installs it)";
        }
        return false;
    }
    return StartOnAFreePort([&](bool* portTaken) { return StartOnce(error, portTaken); });
}

bool CDovecotServer::StartOnce(std::string* error, bool* portTaken) {
    m_port = m_fixedPort != 0 ? m_fixedPort : FreeLoopbackPort();
    m_tlsPort = m_tls == nullptr ? 0 : m_fixedTlsPort != 0 ? m_fixedTlsPort : FreeLoopbackPort();
    const std::string dir = m_dir.Path();
    const std::string ssl = m_tls == nullptr
                                ? "ssl = no\n"
                                : "ssl = yes\n"
                                  "ssl_cert = <" +
                                      m_tls->cert + "\nssl_key = <" + m_tls->key + "\n";
    std::string config = "base_dir = " + dir + "/run\n" + "state_dir = " + dir + "/state\n" +
                         "log_path = " + dir + "/dovecot.log\n" + "instance_name = sentrel-test-" +
                         std::to_string(m_port) + "\n" +
                         "protocols = pop3\n"
                         "listen = 127.0.0.1, ::1\n" +
                         ssl +
                         "disable_plaintext_auth = no\n"
                         "auth_mechanisms = plain\n"
                         "auth_failure_delay = 0\n"
                         "first_valid_uid = 1\n"
                         "mail_location = maildir:" +
                         dir + "/mail/%u\n" +
                         "passdb {\n"
                         "  driver = passwd-file\n"
                         "  args = scheme=PLAIN username_format=%u " +
                         dir + "/passwd\n" +
                         "}\n"
                         "userdb {\n"
                         "  driver = static\n"
                         "  args = uid=" +
                         std::to_string(m_mailUid) + " gid=" + std::to_string(m_mailGid) +
                         " home=" + dir + "/mail/%u\n" +
                         "}\n"
                         "service pop3-login {\n"
                         "  inet_listener pop3 {\n"
                         "    port = " +
                         std::to_string(m_port) + "\n" +
                         "  }\n"
                         "  inet_listener pop3s {\n"
                         "    port = " +
                         std::to_string(m_tlsPort) + "\n" + "  }\n";
    if (::geteuid() != 0) {
        // Without root there is no one to switch to and nowhere to chroot.
        config += "  chroot =\n";
    }
    config += "}\n"
              // Repeated failed logins from one address would otherwise be answered ever
              // later.
              "service anvil {\n"
              "  unix_listener anvil-auth-penalty {\n"
              "    mode = 0\n"
              "  }\n"
              "}\n";
    if (::geteuid() != 0) {
        const std::string self = UserName(::getuid());
        config += "default_internal_user = " + self + "\ndefault_login_user = " + self + "\n";
    }
    WriteFile(m_dir.File("dovecot.conf"), config);
    if (!std::filesystem::exists(m_dir.File("passwd"))) {
        WriteFile(m_dir.File("passwd"), "");
    }

    const std::string out = m_dir.File("dovecot.out");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {FindDovecot(), "-F", "-c", m_dir.File("dovecot.conf")};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        if (error) {
            *error = "cannot start dovecot: " + std::to_string(spawned);
        }
        return false;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            const std::string log = Log();
            *portTaken = log.find("in use") != std::string::npos;
            if (error) {
                *error = "dovecot ended at start-up: " + log;
            }
            return false;
        }
        if (LoopbackPortAnswers(m_port) && (m_tlsPort == 0 || LoopbackPortAnswers(m_tlsPort))) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    if (error) {
        *error = "dovecot did not start listening: " + Log();
    }
    return false;
}

void CDovecotServer::Stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

} // namespace sentrel::test
