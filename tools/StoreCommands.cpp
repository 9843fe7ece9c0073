#include "tools/StoreCommands.h"

#include "engine/Session.h"
#include "model/SentrelDoc.h"
#include "tools/StoreJson.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>

namespace sentrel::tools {

namespace {

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Counts(const CSentrelDoc& doc) {
    return Counted(doc.alerts.size(), "alert", "alerts") + ", " +
           Counted(doc.watches.size(), "watch", "watches") + ", " +
           Counted(doc.activations.size(), "activation", "activations");
}

// Loads the store named by the first argument, without a message box. A missing file is
// a usage error; one that cannot be read ends the command with the program's message;
// the damage of one that does not decode is printed the way the program words it.
std::optional<StoreDamage> LoadForCommand(CSentrelDoc& doc) {
    const auto damage = doc.Load(false);
    if (doc.GetStoreState() == StoreState::Missing) {
        throw UsageError("cannot open " + doc.StorePath() + ": " + std::strerror(ENOENT));
    }
    if (doc.GetStoreState() == StoreState::Unreadable) {
        throw std::runtime_error(doc.UnreadableMessage());
    }
    if (damage) {
        std::cerr << StoreDamageMessage(*damage) << "\n";
    }
    return damage;
}

int Dump(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    const auto damage = LoadForCommand(doc);
    std::cout << JsonText(DocumentToJson(doc)) << "\n";
    return damage ? 1 : 0;
}

int Check(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    if (LoadForCommand(doc)) {
        std::cout << "read before the error: " << Counts(doc) << "\n";
        return 1;
    }
    std::cout << Counts(doc) << ", trace " << (doc.traceOn ? "on" : "off") << "\n";
    return 0;
}

int Resave(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    const auto damage = LoadForCommand(doc);
    doc.SetStorePath(args[1]);
    const SaveOutcome saved = doc.Save();
    if (!saved) {
        ReportSaveProblem(saved);
        return 1;
    }
    return damage ? 1 : 0;
}

// The whole of a file, or of the standard input for "-".
std::string ReadJsonText(const std::string& path) {
    if (path == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        throw InputError("cannot read " + path + ": " + std::strerror(errno));
    }
    return text;
}

int Import(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool force = false;
    for (const std::string& arg : args) {
        if (arg == "--force") {
            force = true;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        throw UsageError("import takes JSON OUT [--force]");
    }
    const std::string& out = files[1];
    struct stat st {};
    if (!force && lstat(out.c_str(), &st) == 0) {
        throw InputError(out + " is there already; --force writes over it");
    }
    if (files[0] != "-" && stat(files[0].c_str(), &st) != 0) {
        throw UsageError("cannot open " + files[0] + ": " + std::strerror(errno));
    }
    const std::string text = ReadJsonText(files[0]);
    // Declared first, so that the records the activations alone hold outlive the document.
    std::vector<std::unique_ptr<CObject>> unlisted;
    CSentrelDoc doc(out);
    try {
        DocumentFromJson(text, doc, unlisted);
    } catch (const JsonStoreError& error) {
        throw InputError(error.what());
    }
    const SaveOutcome saved = doc.Save();
    ReportSaveProblem(saved);
    return saved ? 0 : 1;
}

constexpr std::array<Command, 4> kCommands = {{
    {"dump", "STORE", "print the store as JSON", 1, 1, &Dump},
    {"check", "STORE", "check that the whole store decodes; print its counts", 1, 1, &Check},
    {"resave", "STORE OUT", "load STORE and write it to OUT as the program saves", 2, 2, &Resave},
    {"import", "JSON OUT [--force]",
     "write the store that JSON (as dump prints it; - for the "
     "standard input) describes to OUT",
     2, 3, &Import},
}};

} // namespace

std::span<const Command> StoreCommands() {
    return kCommands;
}

} // namespace sentrel::tools
