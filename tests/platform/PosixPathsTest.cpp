#include "platform/PosixPlatform.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {
namespace {

using test::TempDir;

bool IsOwnerOnlyFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700;
}

TEST(PosixPathsTest, XdgDataHomeUnlessAStoreIsBesideTheProgram) {
    TempDir dir;
    const std::string exeDir = dir.File("bin");
    const std::string xdg = dir.File("data");
    ASSERT_EQ(mkdir(exeDir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(xdg.c_str(), 0777), 0);
    chmod(xdg.c_str(), 0777);

    // A writable program folder (a build folder, /usr/bin for root) without a store: the
    // store goes to $XDG_DATA_HOME/sentrel, made on the way.
    EXPECT_EQ(ChooseDataDir(exeDir, xdg.c_str(), "/nowhere").dir, xdg + "/sentrel");
    EXPECT_TRUE(IsOwnerOnlyFolder(xdg + "/sentrel"));

    // A store already beside the program (a portable copy, or a build folder's store from
    // before) is used there, also through a link.
    test::WriteFile(exeDir + "/Sentrel.bin", "");
    EXPECT_EQ(ChooseDataDir(exeDir, xdg.c_str(), "/nowhere").dir, exeDir);
    ASSERT_EQ(rename((exeDir + "/Sentrel.bin").c_str(), dir.File("store.bin").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("store.bin").c_str(), (exeDir + "/Sentrel.bin").c_str()), 0);
    EXPECT_EQ(ChooseDataDir(exeDir, xdg.c_str(), "/nowhere").dir, exeDir);

    // ... but not in a folder the user cannot write to. Root may write anywhere, so the
    // check runs as an ordinary user.
    const std::string readOnly = dir.File("ro");
    ASSERT_EQ(mkdir(readOnly.c_str(), 0755), 0);
    test::WriteFile(readOnly + "/Sentrel.bin", "");
    ASSERT_EQ(chown(readOnly.c_str(), 65534, 65534), 0);
    chmod(readOnly.c_str(), 0555);
    chmod(dir.Path().c_str(), 0755);
    const std::string xdgNobody = dir.File("nobody");
    ASSERT_EQ(mkdir(xdgNobody.c_str(), 0700), 0);
    ASSERT_EQ(chown(xdgNobody.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(test::RunInChild(
        [&] {
            return ChooseDataDir(readOnly, xdgNobody.c_str(), "/nowhere").dir ==
                   xdgNobody + "/sentrel";
        },
        true));

    // Without (or with a relative) $XDG_DATA_HOME: ~/.local/share/sentrel.
    const std::string missing = dir.File("gone");
    const std::string home = dir.File("home");
    EXPECT_EQ(ChooseDataDir(missing, nullptr, home.c_str()).dir, home + "/.local/share/sentrel");
    EXPECT_TRUE(IsOwnerOnlyFolder(home + "/.local/share/sentrel"));
    EXPECT_EQ(ChooseDataDir(missing, "relative", home.c_str()).dir, home + "/.local/share/sentrel");
}

// A store in a folder that someone else controls could be replaced by theirs, and its
// program alerts would run as the user: such a folder is never used.
TEST(PosixPathsTest, NeverAFolderOtherUsersControl) {
    TempDir dir;
    const std::string mine = dir.File("mine");
    const std::string xdg = dir.File("xdg");
    ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(xdg.c_str(), 0700), 0);

    // A program folder that others may write to is passed over, store or not.
    test::WriteFile(mine + "/Sentrel.bin", "");
    chmod(mine.c_str(), 0777);
    EXPECT_EQ(ChooseDataDir(mine, xdg.c_str(), nullptr).dir, xdg + "/sentrel");

    // An existing data folder that others may write to, or that another user owns, is
    // refused with the reason.
    chmod((xdg + "/sentrel").c_str(), 0770);
    DataDirChoice choice = ChooseDataDir(dir.File("gone"), xdg.c_str(), nullptr);
    EXPECT_EQ(choice.dir, "");
    EXPECT_EQ(choice.problem, "Sentrel will not use its data folder " + xdg +
                                  "/sentrel: other users can write to it.");
    chmod((xdg + "/sentrel").c_str(), 0700);
    ASSERT_EQ(chown((xdg + "/sentrel").c_str(), 65534, 65534), 0);
    choice = ChooseDataDir(dir.File("gone"), xdg.c_str(), nullptr);
    EXPECT_EQ(choice.dir, "");
    EXPECT_EQ(choice.problem, "Sentrel will not use its data folder " + xdg +
                                  "/sentrel: it belongs to another user.");

    // Without HOME the home folder comes from the user database: "nobody" has a home that
    // does not exist, and a user unknown to the database has none at all. Never /tmp.
    chmod(dir.Path().c_str(), 0755);
    for (const uid_t uid : {65534u, 54321u}) {
        EXPECT_TRUE(test::RunInChild([&] {
            if (setgid(uid) != 0 || setuid(uid) != 0) {
                return false;
            }
            const DataDirChoice c = ChooseDataDir(dir.File("gone"), nullptr, nullptr);
            const std::string expected =
                uid == 65534
                    ? "Sentrel cannot create its data folder /nonexistent/.local/share/sentrel: "
                      "Permission denied."
                    : "Sentrel has no folder for its data: HOME is not set and the user "
                      "database has no home folder for this user.";
            EXPECT_EQ(c.problem, expected);
            return c.dir.empty() && c.problem == expected;
        }));
    }
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
