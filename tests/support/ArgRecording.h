#pragma once

// Reading what the argument recorder program wrote (tests/platform/ArgRecorder.cpp).

#include "tests/support/TestSupport.h"

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sentrel::test {

struct ArgRecord {
    bool found = false;
    long parent = 0;
    long session = 0;
    std::string openFds; // descriptors above 2, blank-separated
    std::vector<std::string> args;
};

// Waits up to `timeout` for the record file, then parses it.
inline ArgRecord WaitForRecord(const std::string& path,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    ArgRecord record;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (access(path.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return record;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string bytes = ReadFile(path);
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
        fields.push_back(bytes.substr(start, end - start));
    }
    if (fields.size() < 3) {
        return record;
    }
    record.found = true;
    record.parent = std::stol(fields[0]);
    record.session = std::stol(fields[1]);
    record.openFds = fields[2];
    record.args.assign(fields.begin() + 3, fields.end());
    return record;
}

} // namespace sentrel::test
