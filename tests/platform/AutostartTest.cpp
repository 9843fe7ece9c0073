#include "platform/Autostart.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sentrel {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(AutostartTest, EntryInTheUsersAutostartFolder) {
    EXPECT_EQ(AutostartFile("/cfg", "/home/u"), "/cfg/autostart/sentrel.desktop");
    EXPECT_EQ(AutostartFile(nullptr, "/home/u"), "/home/u/.config/autostart/sentrel.desktop");
    EXPECT_EQ(AutostartFile("relative", "/home/u"), "/home/u/.config/autostart/sentrel.desktop");

    // Switched on: the folder is made, and the entry starts this very program minimised,
    // its path quoted for the launcher (a blank, '$' and '"' escaped, '%' doubled).
    TempDir dir;
    const std::string file = AutostartFile(dir.File("config").c_str(), nullptr);
    const std::string program = dir.File("my apps/$\"sentrel\"%u");
    std::string problem;
    ASSERT_TRUE(SetAutostart(file, true, program, problem)) << problem;
    EXPECT_TRUE(AutostartEnabled(file));
    const std::string entry = ReadFile(file);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << entry;
    EXPECT_NE(entry.find("\nExec=\"" + dir.File("my apps/\\\\$\\\\\"sentrel\\\\\"%%u") +
                         "\" --minimised\n"),
              std::string::npos)
        << entry;
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(SetAutostart(file, true, "/usr/bin/sentrel", problem)); // replaced whole
    EXPECT_NE(ReadFile(file).find("\nExec=/usr/bin/sentrel --minimised\n"), std::string::npos);

    // An entry the desktop's settings switched off does not count.
    test::WriteFile(file, "[Desktop Entry]\nExec=sentrel\nHidden=true\n");
    EXPECT_FALSE(AutostartEnabled(file));

    // Switched off: the entry goes; switching off again is no error.
    EXPECT_TRUE(SetAutostart(file, false, program, problem));
    EXPECT_FALSE(AutostartEnabled(file));
    EXPECT_TRUE(SetAutostart(file, false, program, problem));

    // A folder that cannot be made is said, with the file's path.
    test::WriteFile(dir.File("blocked"), "");
    const std::string blocked = AutostartFile(dir.File("blocked").c_str(), nullptr);
    EXPECT_FALSE(SetAutostart(blocked, true, program, problem));
    EXPECT_EQ(problem.rfind("Unable to change \"Start at login\": " + blocked + ": ", 0), 0u)
        << problem;
    EXPECT_FALSE(AutostartEnabled(blocked));
}

} // namespace
} // namespace sentrel
