#include "watches/FileWatch.h"

#include "model/Archive.h"
#include "services/EventLog.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

void SetModified(const std::string& path, std::int64_t seconds) {
    timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Turns the trace on into a file of the temp folder for the lifetime of the object.
class TraceCapture {
public:
    explicit TraceCapture(const TempDir& dir) : m_path(dir.File("trace.txt")) {
        CTraceFile::Instance().SetPath(m_path);
        CTraceFile::Instance().SwitchOn();
    }
    ~TraceCapture() { CTraceFile::Instance().SwitchOff(); }
    std::string Text() const { return ReadFile(m_path); }

private:
    std::string m_path;
};

TEST(FileWatchText, LinesLoseLfOrCrLfAndAreJoined) {
    EXPECT_EQ(JoinLines("a\nb\n"), "ab");
    EXPECT_EQ(JoinLines("a\r\nb\r\n"), "ab");
    EXPECT_EQ(JoinLines("a\r\nb"), "ab");               // last line without terminator
    EXPECT_EQ(JoinLines("one\n\n\r\ntwo\n"), "onetwo"); // empty lines vanish
    EXPECT_EQ(JoinLines("a\rb\n"), "a\rb");             // a lone CR is not a terminator
    EXPECT_EQ(JoinLines("a\r\r\nb"), "a\rb");
    EXPECT_EQ(JoinLines(""), "");
    EXPECT_EQ(JoinLines(std::string("x\0y\n", 4)), std::string("x\0y", 3));
}

class FileWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("watched.txt");
        watch.fileName = path;
        watch.message = "fixed";
    }
    TempDir dir;
    std::string path;
    CFileWatch watch;
};

TEST_F(FileWatchTest, ModifiedModeFiresOncePerNewWriteTime) {
    WriteFile(path, "text\n");
    SetModified(path, 1700000000);
    watch.watchMode = 0;
    watch.lastModified = 1700000000; // baseline as the editor took it
    std::string message = "untouched";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(message, "untouched");

    WriteFile(path, "text\n"); // saved again, same text
    SetModified(path, 1700000100);
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "text");
    EXPECT_EQ(watch.lastModified, 1700000100);
    EXPECT_FALSE(watch.Check(message));

    SetModified(path, 1600000000); // an older time is a change too
    watch.messageSource = 1;
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "fixed");
    EXPECT_EQ(watch.lastModified, 1600000000);
}

// The baseline goes into a four-byte field of the store; it must always fit and must
// still match the file after a reload, or a restart would fire (or saving would fail).
TEST_F(FileWatchTest, ModifiedBaselineSurvivesTheStoreForLateDates) {
    WriteFile(path, "x");
    watch.watchMode = 0;
    std::string message;
    for (std::int64_t when : {std::int64_t{3000000000}, std::int64_t{7258118400}}) {
        SetModified(path, when); // 2065 (past 2^31), 2200 (past 2^32)
        EXPECT_TRUE(watch.Check(message)) << when;
        EXPECT_EQ(watch.lastModified, StoredTimeStamp(when));

        CArchive out;
        ASSERT_NO_THROW(watch.Serialize(out));
        CArchive in(out.Data());
        CFileWatch reloaded;
        reloaded.Serialize(in);
        EXPECT_EQ(reloaded.lastModified, watch.lastModified);
        EXPECT_FALSE(reloaded.Check(message)) << when;
    }
    EXPECT_EQ(StoredTimeStamp(1700000000), 1700000000);
    EXPECT_EQ(StoredTimeStamp(-86400), -86400);
}

TEST_F(FileWatchTest, ContentsModeComparesJoinedText) {
    WriteFile(path, "a\nb\n");
    watch.watchMode = 1;
    watch.lastContents = "ab";
    std::string message;
    EXPECT_FALSE(watch.Check(message));

    // Same text, new time; line breaks moved; written with CR LF: all still "ab".
    WriteFile(path, "a\nb\n");
    SetModified(path, 1700000000);
    EXPECT_FALSE(watch.Check(message));
    WriteFile(path, "ab");
    EXPECT_FALSE(watch.Check(message));
    WriteFile(path, "a\r\nb\r\n");
    EXPECT_FALSE(watch.Check(message));
    EXPECT_TRUE(message.empty());

    WriteFile(path, "a\r\nB\r\n"); // case counts
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "aB");
    EXPECT_EQ(watch.lastContents, "aB");
    EXPECT_FALSE(watch.Check(message));
}

TEST_F(FileWatchTest, ContainsModesHoldNoStateAndFireWhileTheConditionHolds) {
    WriteFile(path, "status: ERROR\nend\n");
    watch.watchMode = 2;
    watch.containsText = "ERROR";
    std::string message;
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "status: ERRORend");
    message.clear();
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "status: ERRORend");

    watch.containsText = "ERRORend"; // the joined text is searched, across the line break
    EXPECT_TRUE(watch.Check(message));
    watch.containsText = "error";
    EXPECT_FALSE(watch.Check(message));

    watch.watchMode = 3;
    watch.notContainsText = "OK";
    watch.messageSource = 1;
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "fixed");
    WriteFile(path, "status: OK\n");
    message = "kept";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(message, "kept");
}

TEST_F(FileWatchTest, EmptySearchTextsAndEmptyFile) {
    WriteFile(path, "");
    std::string message = "before";
    watch.watchMode = 2;
    watch.containsText = ""; // empty text is found in any readable file, even an empty one
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, ""); // the empty file's text is the message
    watch.containsText = "x";
    EXPECT_FALSE(watch.Check(message));

    watch.watchMode = 3;
    watch.notContainsText = "x";
    message = "before";
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "");
    watch.notContainsText = ""; // always "contained": never fires
    WriteFile(path, "anything\n");
    EXPECT_FALSE(watch.Check(message));
}

TEST_F(FileWatchTest, UnknownModeNeverFires) {
    WriteFile(path, "a\n");
    std::string message = "kept";
    for (int mode : {4, 100, -1}) {
        watch.watchMode = mode;
        EXPECT_FALSE(watch.Check(message)) << mode;
    }
    EXPECT_EQ(message, "kept");
}

TEST_F(FileWatchTest, MissingFileIsLoggedAndKeepsTheBaselines) {
    WriteFile(path, "a\n");
    watch.watchMode = 1;
    watch.lastContents = "old";
    watch.lastModified = 1234;
    ASSERT_EQ(unlink(path.c_str()), 0);

    TraceCapture trace(dir);
    std::string message = "kept";
    for (int mode : {0, 1, 3}) {
        watch.watchMode = mode;
        EXPECT_FALSE(watch.Check(message));
    }
    EXPECT_EQ(message, "kept");
    EXPECT_EQ(watch.lastContents, "old");
    EXPECT_EQ(watch.lastModified, 1234);

    const std::string log = trace.Text();
    const std::string line = "File Watch Failed to open file: " + path + "\r\n";
    std::size_t count = 0;
    for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 3u) << log;
}

TEST_F(FileWatchTest, FoldersUnreadableFilesAndPipes) {
    TraceCapture trace(dir);
    std::string message;
    watch.watchMode = 3;
    watch.notContainsText = "x";
    watch.fileName = dir.Path();
    EXPECT_FALSE(watch.Check(message));
    EXPECT_NE(trace.Text().find("Failed to open file: " + dir.Path()), std::string::npos);

    // Opens but cannot be read (address 0 of our own memory): the read failure's line.
    watch.fileName = "/proc/self/mem";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_NE(trace.Text().find("File Watch Failed to write to file: /proc/self/mem\r\n"),
              std::string::npos)
        << trace.Text();

    // A device without end, and a file past the size read for a watch: neither is read
    // into memory; both count as files that cannot be opened.
    const std::string huge = dir.File("huge.log");
    WriteFile(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), 64 * 1024 * 1024 + 1), 0);
    for (const std::string& name : {std::string("/dev/zero"), huge}) {
        watch.fileName = name;
        EXPECT_FALSE(watch.Check(message));
        EXPECT_NE(trace.Text().find("File Watch Failed to open file: " + name + "\r\n"),
                  std::string::npos)
            << trace.Text();
    }

    // A named pipe without a writer reads as empty instead of stalling the engine.
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    watch.fileName = fifo;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(watch.Check(message));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

} // namespace
} // namespace sentrel
