// A program for the tests of program starting: writes what it was started with to the
// file named by SENTREL_RECORD_TO, as NUL-terminated fields: its parent's pid, its
// session id, the descriptors above 2 it found open, then every argument after argv[0].
// SENTREL_RECORD_DELAY_MS makes it wait first. The file appears whole (written, renamed).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* out = std::getenv("SENTREL_RECORD_TO");
    if (!out) {
        return 2;
    }
    if (const char* delay = std::getenv("SENTREL_RECORD_DELAY_MS")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
    }
    std::string fds;
    if (DIR* dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (const dirent* entry = readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != own) {
                fds += std::to_string(fd) + " ";
            }
        }
        closedir(dir);
    }
    std::string record =
        std::to_string(getppid()) + '\0' + std::to_string(getsid(0)) + '\0' + fds + '\0';
    for (int i = 1; i < argc; ++i) {
        record += argv[i];
        record += '\0';
    }
    const std::string temp = std::string(out) + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        return 3;
    }
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
    return std::rename(temp.c_str(), out) == 0 ? 0 : 4;
}
