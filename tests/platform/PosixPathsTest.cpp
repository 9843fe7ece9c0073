#include "platform/PosixPlatform.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sentrel {
namespace {

using test::TempDir;

bool IsOwnerOnlyFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700;
}

TEST(PosixPathsTest, ExecutableFolderWhenWritableElseXdgDataHome) {
    TempDir dir;
    EXPECT_EQ(ChooseDataDir(dir.Path(), "/nowhere", "/nowhere"), dir.Path());

    // A folder that cannot be written to: the store goes to $XDG_DATA_HOME/sentrel, made
    // on the way. Root may write anywhere, so the check runs as an ordinary user.
    const std::string exeDir = dir.File("bin");
    const std::string xdg = dir.File("data");
    ASSERT_EQ(mkdir(exeDir.c_str(), 0555), 0);
    ASSERT_EQ(mkdir(xdg.c_str(), 0777), 0);
    chmod(xdg.c_str(), 0777);
    chmod(dir.Path().c_str(), 0755);
    EXPECT_TRUE(test::RunInChild(
        [&] {
            return ChooseDataDir(exeDir, xdg.c_str(), "/nowhere") == xdg + "/sentrel" &&
                   IsOwnerOnlyFolder(xdg + "/sentrel");
        },
        true));

    // Without (or with a relative) $XDG_DATA_HOME: ~/.local/share/sentrel.
    const std::string missing = dir.File("gone");
    const std::string home = dir.File("home");
    EXPECT_EQ(ChooseDataDir(missing, nullptr, home.c_str()), home + "/.local/share/sentrel");
    EXPECT_TRUE(IsOwnerOnlyFolder(home + "/.local/share/sentrel"));
    EXPECT_EQ(ChooseDataDir(missing, "relative", home.c_str()), home + "/.local/share/sentrel");
}

// A build folder (or a portable copy) has its help page beside the program; an installed
// program finds it in the documentation folder beside its bin folder, wherever the tree was
// unpacked.
TEST(PosixPathsTest, HelpBesideTheProgramElseInTheInstalledLayout) {
    TempDir dir;
    const std::string bin = dir.File("bin");
    ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
    EXPECT_EQ(HelpFile(bin), dir.File("share/doc/sentrel/help.htm"));
    test::WriteFile(bin + "/help.htm", "<html>");
    EXPECT_EQ(HelpFile(bin), bin + "/help.htm");
}

} // namespace
} // namespace sentrel
