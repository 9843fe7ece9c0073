#include "alerts/AlertKinds.h"
#include "alerts/MessageAlert.h"
#include "model/Archive.h"
#include "model/SentrelDoc.h"
#include "tests/support/TestSupport.h"
#include "watches/PINGWatch.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>

namespace sentrel {
namespace {

using test::Hex;

class ArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }
};

std::string WorkedExample() {
    return Hex("00000000 0100 FFFF 0000 0D00") + "CMessageAlert" + Hex("01 4D") +
           Hex("0100 FFFF 0000 0A00") + "CPINGWatch" + Hex("01 50 00 00 00 00 00") +
           Hex("0100 FFFF 0000 0B00") + "CActivation" +
           Hex("0100 0200 0100 0400 00000000 00000000 01 41 01000000 "
               "00 00 00 00 00 00 00 00000000");
}

TEST_F(ArchiveTest, WorkedExampleRoundTripsByteForByte) {
    CSentrelDoc doc;
    auto alert = std::make_unique<CMessageAlert>();
    alert->name = "M";
    auto watch = std::make_unique<CPINGWatch>();
    watch->name = "P";
    auto activation = std::make_unique<CActivation>();
    activation->name = "A";
    activation->enabled = true;
    activation->alerts.push_back(alert.get());
    activation->watch.push_back(watch.get());
    doc.alerts.push_back(std::move(alert));
    doc.watches.push_back(std::move(watch));
    doc.activations.push_back(std::move(activation));

    CArchive out;
    doc.Serialize(out);
    EXPECT_EQ(out.Data(), WorkedExample());

    CSentrelDoc loaded;
    const std::string bytes = WorkedExample();
    CArchive in{std::string_view(bytes)};
    loaded.Serialize(in);
    ASSERT_EQ(loaded.activations.size(), 1u);
    EXPECT_EQ(loaded.activations[0]->GetWatch(), loaded.watches[0].get());
    EXPECT_EQ(loaded.activations[0]->alerts.at(0), loaded.alerts[0].get());
    CArchive again;
    loaded.Serialize(again);
    EXPECT_EQ(again.Data(), bytes);
}

} // namespace
} // namespace sentrel
