// The local watches and alerts inside the real engine: sentrelctl run on stores made here.

#include "alerts/AlertKinds.h"
#include "alerts/MessageAlert.h"
#include "alerts/PushAlert.h"
#include "alerts/RunProgramAlert.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "tests/support/ArgRecording.h"
#include "tests/support/TestSupport.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/WatchKinds.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sentrel {
namespace {

// Local time `offset` seconds from now.
CDateTime LocalFromNow(std::int64_t offset) {
    const std::time_t t = std::time(nullptr) + offset;
    std::tm local{};
    localtime_r(&t, &local);
    return CDateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                local.tm_hour, local.tm_min, local.tm_sec);
}

// Makes the activation due an hour ago, every minute, in the forms the C locale reads.
void DueNow(CActivation& activation) {
    const CDateTime due = LocalFromNow(-3600);
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", due.GetYear(), due.GetMonth(), due.GetDay());
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", due.GetHour(), due.GetMinute(),
                  due.GetSecond());
    activation.nextDate = date;
    activation.nextTime = time;
    activation.interval = "1";
    activation.enabled = true;
}

class LocalKindsRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }
    std::string Store() const { return dir.File("Sentrel.bin"); }

    // sentrelctl run STORE --seconds N in the C locale; its standard output.
    std::string Run(int seconds) {
        const std::string out = dir.File("out.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 1);
            close(fd);
            setenv("LC_ALL", "C.UTF-8", 1);
            const std::string secondsText = std::to_string(seconds);
            execl(SENTRELCTL_PATH, SENTRELCTL_PATH, "run", Store().c_str(), "--seconds",
                  secondsText.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return test::ReadFile(out);
    }

    test::TempDir dir;
};

TEST_F(LocalKindsRun, FileContainingTextStartsTheProgramWithItsArguments) {
    const std::string watched = dir.File("status.log");
    test::WriteFile(watched, "disk: ok\r\nbackup: FAILED\r\n");
    const std::string record = dir.File("record");
    std::filesystem::create_directory(dir.File("my tools"));
    const std::string program = dir.File("my tools/notify me");
    std::filesystem::copy_file(ARG_RECORDER_PATH, program);
    chmod(program.c_str(), 0755);
    {
        CSentrelDoc doc(Store());
        auto watch = std::make_unique<CFileWatch>();
        watch->name = "backup log";
        watch->fileName = watched;
        watch->watchMode = 2;
        watch->containsText = "FAILED";
        auto alert = std::make_unique<CRunProgramAlert>();
        alert->name = "notify";
        alert->program = program;
        alert->arguments = "backup $USER; `date` it's bad";
        auto activation = std::make_unique<CActivation>();
        activation->name = "backups";
        DueNow(*activation);
        activation->watch.push_back(watch.get());
        activation->alerts.push_back(alert.get());
        doc.watches.push_back(std::move(watch));
        doc.alerts.push_back(std::move(alert));
        doc.activations.push_back(std::move(activation));
        ASSERT_TRUE(doc.Save());
    }
    setenv("SENTREL_RECORD_TO", record.c_str(), 1);
    Run(2);
    unsetenv("SENTREL_RECORD_TO");
    const test::ArgRecord got = test::WaitForRecord(record);
    ASSERT_TRUE(got.found);
    EXPECT_EQ(got.args, std::vector<std::string>{"backup $USER; `date` it's bad"});
}

TEST_F(LocalKindsRun, OneOffMomentFiresExactlyOnceAcrossARestart) {
    {
        CSentrelDoc doc(Store());
        auto watch = std::make_unique<CDateTimeWatch>();
        watch->name = "deadline";
        watch->onceOn = true;
        const CDateTime moment = LocalFromNow(-60); // passed while the program was stopped
        watch->onceDate = moment.DatePart();
        watch->onceTime = moment.TimePart();
        watch->lastCheck = LocalFromNow(-7200);
        watch->message = "Deadline passed";
        auto alert = std::make_unique<CMessageAlert>();
        alert->name = "screen";
        // A desktop notification is printed as a popup is.
        auto desktop = std::make_unique<CPushAlert>();
        desktop->name = "desktop";
        desktop->url = "dbus://";
        desktop->title = "Deadline";
        auto activation = std::make_unique<CActivation>();
        activation->name = "deadline check";
        DueNow(*activation);
        activation->watch.push_back(watch.get());
        activation->alerts = {alert.get(), desktop.get()};
        doc.watches.push_back(std::move(watch));
        doc.alerts.push_back(std::move(alert));
        doc.alerts.push_back(std::move(desktop));
        doc.activations.push_back(std::move(activation));
        ASSERT_TRUE(doc.Save());
    }
    const std::string popup = "--- Alert ---\nDeadline passed\n---\n"
                              "--- Notification: Deadline ---\nDeadline passed\n---\n";
    EXPECT_EQ(Run(2), popup);

    // Restart, with the activation due again at once: the stored last check is past the
    // moment, so the watch does not fire a second time.
    CDateTime firstCheck;
    {
        CSentrelDoc doc(Store());
        ASSERT_FALSE(doc.Load(false));
        ASSERT_EQ(doc.activations.size(), 1u);
        const auto* watch = dynamic_cast<const CDateTimeWatch*>(doc.watches.at(0).get());
        ASSERT_NE(watch, nullptr);
        firstCheck = watch->lastCheck;
        EXPECT_TRUE(firstCheck > LocalFromNow(-60));
        DueNow(*doc.activations[0]);
        ASSERT_TRUE(doc.Save());
    }
    EXPECT_EQ(Run(2), "");
    CSentrelDoc doc(Store());
    ASSERT_FALSE(doc.Load(false));
    const auto* watch = dynamic_cast<const CDateTimeWatch*>(doc.watches.at(0).get());
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(watch->lastCheck > firstCheck); // it was checked in the second run
}

} // namespace
} // namespace sentrel
