#include "model/SentrelDoc.h"
#include "alerts/AlertKinds.h"
#include "alerts/MessageAlert.h"
#include "alerts/SoundAlert.h"
#include "tests/model/StoreBytes.h"
#include "tests/support/ChildProcess.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {
namespace {

using namespace test;

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

unsigned Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class SentrelDocTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }

    // A document with an alert, two watches of the same name and two activations.
    static void Fill(CSentrelDoc& doc) {
        auto alert = std::make_unique<CSoundAlert>();
        alert->name = "Bell";
        alert->soundFile = "/bell.wav";
        auto first = std::make_unique<CPINGWatch>();
        first->name = "Same";
        first->hostName = "one";
        auto second = std::make_unique<CFileWatch>();
        second->name = "Same";
        second->lastContents = std::string(5000, 'z');
        for (const char* name : {"A1", "A2"}) {
            auto activation = std::make_unique<CActivation>();
            activation->name = name;
            activation->alerts.push_back(alert.get());
            activation->watch.push_back(second.get());
            doc.activations.push_back(std::move(activation));
        }
        doc.alerts.push_back(std::move(alert));
        doc.watches.push_back(std::move(first));
        doc.watches.push_back(std::move(second));
        doc.traceOn = true;
    }

    TempDir dir;
    FakeMessageBox messages;
    ScopedPlatform platform{[this] {
        PlatformServices services;
        services.messageBox = &messages;
        return services;
    }()};
};

TEST_F(SentrelDocTest, FirstRunStartsEmptyAndFirstSaveWritesTenBytesForTheOwnerOnly) {
    const std::string path = dir.File("Sentrel.bin");
    CSentrelDoc doc(path);
    EXPECT_FALSE(doc.Load());
    EXPECT_TRUE(doc.alerts.empty() && doc.watches.empty() && doc.activations.empty());
    EXPECT_FALSE(doc.traceOn);
    EXPECT_TRUE(messages.shown.empty());

    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadFile(path), std::string(10, '\0'));
    EXPECT_EQ(Mode(path), 0600u);

    // A store that others could read becomes owner-only at the next save.
    chmod(path.c_str(), 0644);
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"Sentrel.bin"});
}

TEST_F(SentrelDocTest, SavingUnchangedContentsGivesTheSameBytes) {
    const std::string path = dir.File("Sentrel.bin");
    CSentrelDoc doc(path);
    Fill(doc);
    // Enough bytes to pass through the save's buffer many times, and a page long enough
    // to be written around it.
    auto page = std::make_unique<CFileWatch>();
    page->lastContents = std::string(300000, 'p');
    doc.watches.push_back(std::move(page));
    for (int i = 0; i < 3000; ++i) {
        doc.alerts.push_back(std::make_unique<CMessageAlert>());
        doc.alerts.back()->name = "alert " + std::to_string(i);
    }
    ASSERT_TRUE(doc.Save());
    const std::string first = ReadFile(path);
    EXPECT_EQ(first, doc.Encode());

    CSentrelDoc reloaded(path);
    EXPECT_FALSE(reloaded.Load());
    ASSERT_EQ(reloaded.activations.size(), 2u);
    EXPECT_TRUE(reloaded.traceOn);
    ASSERT_TRUE(reloaded.Save());
    EXPECT_EQ(ReadFile(path), first);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SentrelDocTest, FailedSaveLeavesTheOldStoreAndSaysWhy) {
    // A folder the user may not write to. The tests may run as root, whom permissions do
    // not stop, so the save runs in a child as an ordinary user.
    const std::string folder = dir.File("readonly");
    const std::string path = folder + "/Sentrel.bin";
    const std::string old = kNoTrace + kEmptyList + kEmptyList + kEmptyList;
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    WriteFile(path, old);
    chmod(path.c_str(), 0644);
    chmod(folder.c_str(), 0555);
    chmod(dir.Path().c_str(), 0755);
    EXPECT_TRUE(RunInChild(
        [&] {
            CSentrelDoc doc(path);
            Fill(doc);
            const SaveOutcome saved = doc.Save();
            return !saved && saved.problem == "Unable to create Sentrel.bin" &&
                   saved.icon == MessageIcon::None;
        },
        true));
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"Sentrel.bin"});
    chmod(folder.c_str(), 0755);

    // A write that fails half-way (here a file size limit, as a full disk would) leaves
    // the old store whole and no temporary file behind.
    EXPECT_TRUE(RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        CSentrelDoc doc(path);
        Fill(doc);
        const SaveOutcome saved = doc.Save();
        return !saved && saved.problem == "Unable to create Sentrel.bin";
    }));
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"Sentrel.bin"});

    // The document in memory is unchanged, and the next save point tries again.
    CSentrelDoc doc(dir.File("missing-folder/Sentrel.bin"));
    Fill(doc);
    EXPECT_FALSE(doc.Save());
    EXPECT_EQ(doc.watches.size(), 2u);
    doc.SetStorePath(path);
    EXPECT_TRUE(doc.Save());
    EXPECT_NE(ReadFile(path), old);
}

TEST_F(SentrelDocTest, DamagedStoreKeepsWhatWasReadAndTellsTheUser) {
    const std::string path = dir.File("Sentrel.bin");
    const std::string bytes = kNoTrace + Hex("0200") + NewClass("CMessageAlert") + Str("kept") +
                              NewClass("CFooAlert") + Str("lost");
    WriteFile(path, bytes);
    CSentrelDoc doc(path);
    const auto damage = doc.Load();
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->offset, 30u); // the tag of the unknown class
    ASSERT_EQ(doc.alerts.size(), 1u);
    EXPECT_EQ(doc.alerts[0]->name, "kept");
    const std::string text = StoreDamageMessage(*damage);
    EXPECT_NE(text.find("damaged"), std::string::npos) << text;
    EXPECT_NE(text.find("byte 30"), std::string::npos) << text;
    EXPECT_NE(text.find("unknown class name \"CFooAlert\""), std::string::npos) << text;
    EXPECT_NE(text.find("before that point were loaded"), std::string::npos) << text;

    // The bytes as they were are kept beside the store before anything can save over
    // them, and the message says where.
    EXPECT_NE(text.find(path + ".damaged."), std::string::npos) << text;
    EXPECT_EQ(ReadFile(path + ".damaged"), bytes);
    EXPECT_EQ(Mode(path + ".damaged"), 0600u);
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadFile(path + ".damaged"), bytes);
    EXPECT_NE(ReadFile(path), bytes);

    // A store damaged again never replaces the older copy; a quiet load keeps its copy
    // only when it comes to save.
    const std::string again = bytes + "x";
    WriteFile(path, again);
    CSentrelDoc quiet(path);
    EXPECT_TRUE(quiet.Load(false));
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u);
    ASSERT_TRUE(quiet.Save());
    EXPECT_EQ(ReadFile(path + ".damaged"), bytes);
    EXPECT_EQ(ReadFile(path + ".damaged.1"), again);
    EXPECT_EQ(quiet.alerts.size(), 1u);
    EXPECT_TRUE(messages.shown.empty()); // telling the user is the session's
}

// Only a store that does not exist means a first start. One that is there but cannot be
// read is reported and never saved over. Run as an ordinary user: root reads anything.
TEST_F(SentrelDocTest, StoreThatCannotBeReadIsNeverSavedOver) {
    const std::string path = dir.File("Sentrel.bin");
    const std::string bytes = kNoTrace + kEmptyList + kEmptyList + kEmptyList;
    const auto loadAndSave = [&](const std::string& reason) {
        return RunInChild(
            [&] {
                alarm(10); // a pipe must not block the load
                CSentrelDoc doc(path);
                EXPECT_FALSE(doc.Load());
                const SaveOutcome refused = doc.Save();
                const std::string why = "Sentrel.bin cannot be read: " + reason;
                return !refused && doc.GetStoreState() == StoreState::Unreadable &&
                       doc.UnreadableMessage() == why && refused.problem == why &&
                       refused.icon == MessageIcon::Stop;
            },
            true);
    };
    chmod(dir.Path().c_str(), 0777);

    WriteFile(path, bytes);
    chmod(path.c_str(), 0);
    EXPECT_TRUE(loadAndSave("Permission denied"));
    EXPECT_EQ(Mode(path), 0u);
    EXPECT_EQ(ReadFile(path), bytes);
    unlink(path.c_str());

    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    EXPECT_TRUE(loadAndSave("Is a directory"));
    rmdir(path.c_str());

    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    EXPECT_TRUE(loadAndSave("not a regular file"));
    struct stat st {};
    EXPECT_TRUE(stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"Sentrel.bin"});
}

// A store kept elsewhere through a symbolic link stays there; the temporary files of a
// save that was killed half-way are cleared away at the next load, and nothing else.
TEST_F(SentrelDocTest, SavesThroughALinkAndClearsLeftoversOfKilledSaves) {
    const std::string real = dir.File("real");
    ASSERT_EQ(mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(symlink("real/store.bin", dir.File("Sentrel.bin").c_str()), 0);
    CSentrelDoc doc(dir.File("Sentrel.bin"));
    EXPECT_FALSE(doc.Load()); // a link to nothing yet: a first start
    Fill(doc);
    ASSERT_TRUE(doc.Save());
    struct stat st {};
    ASSERT_EQ(lstat(dir.File("Sentrel.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(real + "/store.bin"), doc.Encode());
    EXPECT_EQ(FolderEntries(real), std::vector<std::string>{"store.bin"});

    for (const char* name :
         {"store.bin.saving.a1B2c3", "store.bin.saving.zzzzzz", "store.bin.saving.Busy00",
          "store.bin.saving.toolong", "store.bin.backup", "other.saving.abcdef"}) {
        WriteFile(real + "/" + name, "left over");
    }
    // A save in progress holds a lock on its file: that one stays.
    const int busy = open((real + "/store.bin.saving.Busy00").c_str(), O_RDONLY);
    ASSERT_EQ(flock(busy, LOCK_EX), 0);
    CSentrelDoc reloaded(dir.File("Sentrel.bin"));
    EXPECT_FALSE(reloaded.Load());
    close(busy);
    auto left = FolderEntries(real);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"other.saving.abcdef", "store.bin", "store.bin.backup",
                                        "store.bin.saving.Busy00", "store.bin.saving.toolong"}));
}

TEST_F(SentrelDocTest, LookupByNameAndInUseByIdentity) {
    CSentrelDoc doc;
    Fill(doc);
    CWatch* first = doc.watches[0].get();
    CWatch* second = doc.watches[1].get();
    EXPECT_EQ(doc.FindWatch("Same"), first); // with duplicates the first one wins
    EXPECT_EQ(doc.FindWatch("same"), nullptr);
    EXPECT_EQ(doc.FindAlert("Bell"), doc.alerts[0].get());
    EXPECT_EQ(doc.FindActivation("A2"), doc.activations[1].get());

    // In use means this very record, not one of the same name.
    EXPECT_EQ(doc.FindUser(first), nullptr);
    EXPECT_EQ(doc.FindUser(second), doc.activations[0].get());
    EXPECT_EQ(doc.FindUser(doc.alerts[0].get()), doc.activations[0].get());

    // Removing an activation leaves its watch and alert in the document.
    ASSERT_TRUE(doc.Remove(doc.activations[0].get()));
    EXPECT_EQ(doc.FindUser(second), doc.activations[0].get());
    ASSERT_TRUE(doc.Remove(doc.activations[0].get()));
    EXPECT_EQ(doc.FindUser(second), nullptr);
    EXPECT_EQ(doc.watches.size(), 2u);
    EXPECT_EQ(doc.alerts.size(), 1u);
    EXPECT_FALSE(doc.Remove(static_cast<const CActivation*>(nullptr)));
}

} // namespace
} // namespace sentrel
