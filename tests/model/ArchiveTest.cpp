#include "model/Archive.h"
#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "tests/model/StoreBytes.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace sentrel {
namespace {

using namespace test;

// A source that hands `bytes` over as a file does, in pieces as large as asked for (at
// most `most`) and, every other time, in a few bytes.
CArchive::Source Pieces(const std::string& bytes, std::size_t most) {
    return [&bytes, most, at = std::size_t{0}, turn = std::size_t{0}](char* into,
                                                                      std::size_t max) mutable {
        const std::size_t piece = ++turn % 2 ? most : turn % 7 + 1;
        const std::size_t n = std::min({bytes.size() - at, max, piece});
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        return n;
    };
}

class ArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }

    // Loads store bytes into a fresh document. Read in pieces, as from a file, they give
    // the same document and the same fault.
    static std::unique_ptr<CSentrelDoc> Load(const std::string& bytes,
                                             std::optional<StoreDamage>* damage = nullptr) {
        auto doc = std::make_unique<CSentrelDoc>();
        auto found = doc->Decode(bytes);
        if (damage) {
            *damage = found;
        } else {
            EXPECT_FALSE(found) << found->reason << " at " << found->offset;
        }
        for (const std::size_t most : {std::size_t{3}, std::size_t{70001}}) {
            CSentrelDoc streamed;
            CArchive ar(Pieces(bytes, most), bytes.size());
            const auto again = streamed.Decode(ar);
            EXPECT_EQ(again.has_value(), found.has_value()) << most;
            if (again && found) {
                EXPECT_EQ(again->offset, found->offset) << most;
                EXPECT_EQ(again->reason, found->reason) << most;
            }
            EXPECT_EQ(streamed.Encode(), doc->Encode()) << most;
        }
        return doc;
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
    EXPECT_EQ(doc.Encode(), WorkedExample());

    auto loaded = Load(WorkedExample());
    ASSERT_EQ(loaded->activations.size(), 1u);
    EXPECT_EQ(loaded->activations[0]->GetWatch(), loaded->watches[0].get());
    EXPECT_EQ(loaded->activations[0]->alerts.at(0), loaded->alerts[0].get());
    EXPECT_EQ(loaded->Encode(), WorkedExample());

    EXPECT_EQ(CSentrelDoc().Encode(), Hex("00000000 0000 0000 0000"));
}

TEST_F(ArchiveTest, StringLengthPrefixes) {
    const struct {
        std::size_t length;
        std::string prefix;
    } cases[] = {
        {0, Hex("00")},
        {254, Hex("FE")},
        {255, Hex("FF FF00")},
        {65533, Hex("FF FDFF")},
        {65534, Hex("FF FFFF FEFF0000")},
        {300000, Hex("FF FFFF") + Le32(300000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'x');
        CArchive out;
        out.WriteString(text);
        EXPECT_EQ(out.Data(), c.prefix + text);
        CArchive in{std::string_view(out.Data())};
        EXPECT_EQ(in.ReadString(), text);
        EXPECT_EQ(in.Offset(), out.Data().size());
        // From a file, whether or not its size was known, with more after the string.
        const std::string file = out.Data() + Str("next");
        for (const std::uint64_t announced : {file.size(), std::size_t{0}}) {
            CArchive piecewise(Pieces(file, std::size_t{1} << 20), announced);
            EXPECT_EQ(piecewise.ReadString(), text);
            EXPECT_EQ(piecewise.ReadString(), "next");
            EXPECT_EQ(piecewise.Offset(), file.size());
        }
    }
    // The longest form, with an eight-byte length, is read too.
    const std::string eight = Hex("FF FFFF FFFFFFFF 0200000000000000") + "ab";
    CArchive in{std::string_view(eight)};
    EXPECT_EQ(in.ReadString(), "ab");
}

TEST_F(ArchiveTest, WideStringsAreReadAsUtf8) {
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {Hex("FF FEFF 02 4100 E900"), "A\xC3\xA9"},
        // A surrogate pair is one character; a lone surrogate becomes U+FFFD.
        {Hex("FF FEFF 03 3DD8 00DE 00DC"), "\xF0\x9F\x98\x80\xEF\xBF\xBD"},
        {Hex("FF FEFF FF 0100 AC20"), "\xE2\x82\xAC"},
        {Hex("FF FEFF FF FFFF 01000000 5A00"), "Z"},
        {Hex("FF FEFF FF FFFF FFFFFFFF 0100000000000000 7A00"), "z"},
    };
    for (const auto& c : cases) {
        CArchive in{std::string_view(c.bytes)};
        EXPECT_EQ(in.ReadString(), c.text) << Hex(c.bytes);
        EXPECT_EQ(in.Offset(), c.bytes.size());
    }
    // 300 wide characters, with the word length; written back narrow.
    std::string wide = Hex("FF FEFF FF") + Le16(300);
    for (int i = 0; i < 300; ++i) {
        wide += Hex("6100");
    }
    CArchive in{std::string_view(wide)};
    const std::string text = in.ReadString();
    EXPECT_EQ(text, std::string(300, 'a'));
    CArchive out;
    out.WriteString(text);
    EXPECT_EQ(out.Data(), Hex("FF 2C01") + text);
}

TEST_F(ArchiveTest, ListCounts) {
    for (const std::uint32_t count : {65534u, 65535u}) {
        CSentrelDoc doc;
        for (std::uint32_t i = 0; i < count; ++i) {
            doc.alerts.push_back(std::make_unique<CMessageAlert>());
        }
        const std::string bytes = doc.Encode();
        const std::string countBytes = count == 65534 ? Hex("FEFF") : Hex("FFFF FFFF0000");
        EXPECT_EQ(bytes.substr(4, countBytes.size()), countBytes) << count;
        auto loaded = Load(bytes);
        EXPECT_EQ(loaded->alerts.size(), count);
        EXPECT_EQ(loaded->Encode(), bytes);
    }
}

// Past record number 0x7FFE, back references and class references take the escape word
// 0x7FFF and a four-byte number.
TEST_F(ArchiveTest, EscapedNumbersPastTheWordRange) {
    // Numbers: CMessageAlert class 1, alerts 2..40001, CSoundAlert class 40002, sounds
    // 40003 and 40004, CWatch class 40005, the watch 40006, CActivation 40007, the
    // activation 40008.
    std::string bytes = kNoTrace + Le16(40002) + NewClass("CMessageAlert") + Str("m");
    for (int i = 1; i < 40000; ++i) {
        bytes += ClassRef(1) + Str("m");
    }
    bytes += NewClass("CSoundAlert") + Str("s1") + Str("");
    bytes += Hex("FF7F") + Le32(0x80000000u | 40002) + Str("s2") + Str("");
    bytes += Hex("0100") + NewClass("CWatch") + Str("w");
    bytes += Hex("0100") + NewClass("CActivation") + Hex("0400") + Hex("FE7F") + Hex("FF7F") +
             Le32(0x7FFF) + Hex("FF7F") + Le32(40004) + Hex("0200") + Hex("0100") + Hex("FF7F") +
             Le32(40006) + Hex("00000000 00000000") + Str("a") +
             Hex("01000000 00 00 00 00 00 00 00 00000000");

    auto doc = Load(bytes);
    ASSERT_EQ(doc->alerts.size(), 40002u);
    ASSERT_EQ(doc->activations.size(), 1u);
    const CActivation& a = *doc->activations[0];
    ASSERT_EQ(a.alerts.size(), 4u);
    EXPECT_EQ(a.alerts[0], doc->alerts[0x7FFE - 2].get());
    EXPECT_EQ(a.alerts[1], doc->alerts[0x7FFF - 2].get());
    EXPECT_EQ(a.alerts[2], doc->alerts[40001].get());
    EXPECT_EQ(a.alerts[3], doc->alerts[0].get());
    EXPECT_EQ(a.GetWatch(), doc->watches[0].get());
    EXPECT_STREQ(doc->alerts[40001]->GetRuntimeClass().name, "CSoundAlert");
    EXPECT_EQ(doc->alerts[40001]->name, "s2");
    EXPECT_EQ(doc->Encode(), bytes);
}

TEST_F(ArchiveTest, SharedRecordsAreWrittenOnceAndComeBackShared) {
    // Two activations share one watch and one alert. The second message alert starts with
    // the class reference 0x8001, not a new descriptor.
    const std::string bytes =
        kNoTrace + Hex("0200") + NewClass("CMessageAlert") + Str("m1") + ClassRef(1) + Str("m2") +
        Hex("0100") + NewClass("CWatch") + Str("w") + Hex("0200") + NewClass("CActivation") +
        Hex("0200 0200 0300 0100 0500") + Hex("00000000 00000000") + Str("a1") +
        Hex("01000000 00 00 00 00 00 00 00 00000000") + ClassRef(6) + Hex("0100 0200 0100 0500") +
        Hex("00000000 00000000") + Str("a2") + Hex("01000000 00 00 00 00 00 00 00 00000000");
    auto doc = Load(bytes);
    ASSERT_EQ(doc->activations.size(), 2u);
    EXPECT_EQ(doc->activations[0]->GetWatch(), doc->activations[1]->GetWatch());
    EXPECT_EQ(doc->activations[0]->alerts[0], doc->activations[1]->alerts[0]);
    EXPECT_EQ(doc->activations[0]->alerts[1], doc->alerts[1].get());
    EXPECT_EQ(doc->Encode(), bytes);

    // A record that the store holds only inside an activation stays alive and is written
    // back in the same place.
    const std::string unlisted = kNoTrace + kEmptyList + Hex("0100") + NewClass("CWatch") +
                                 Str("w") + Hex("0100") + NewClass("CActivation") + Hex("0100") +
                                 NewClass("CSoundAlert") + Str("hidden") + Str("/x.wav") +
                                 Hex("0100 0200") + Hex("00000000 00000000") + Str("a") +
                                 Hex("01000000 00 00 00 00 00 00 00 00000000");
    auto withUnlisted = Load(unlisted);
    ASSERT_EQ(withUnlisted->activations.size(), 1u);
    ASSERT_EQ(withUnlisted->activations[0]->alerts.size(), 1u);
    EXPECT_EQ(withUnlisted->activations[0]->alerts[0]->name, "hidden");
    EXPECT_TRUE(withUnlisted->alerts.empty());
    EXPECT_EQ(withUnlisted->Encode(), unlisted);
}

TEST_F(ArchiveTest, NullEntriesAreDropped) {
    const std::string bytes = kNoTrace + Hex("0300 0000") + NewClass("CAlert") + Str("a") +
                              Hex("0000") + Hex("0100") + NewClass("CWatch") + Str("w") +
                              Hex("0100") + NewClass("CActivation") + Hex("0200 0000 0200") +
                              Hex("0200 0000 0400") + Hex("00000000 00000000") + Str("x") +
                              Hex("01000000 00 00 00 00 00 00 00 00000000");
    auto doc = Load(bytes);
    ASSERT_EQ(doc->alerts.size(), 1u);
    ASSERT_EQ(doc->activations.size(), 1u);
    EXPECT_EQ(doc->activations[0]->alerts, std::vector<CAlert*>{doc->alerts[0].get()});
    EXPECT_EQ(doc->activations[0]->watch, std::vector<CWatch*>{doc->watches[0].get()});
}

TEST_F(ArchiveTest, TimeStampsFlagsAndWriteErrors) {
    const std::string bytes = Hex("FEFFFFFF FFFFFF7F 02000000");
    CArchive in{std::string_view(bytes)};
    EXPECT_EQ(in.ReadTimeStamp(), -2);
    EXPECT_EQ(in.ReadTimeStamp(), 0x7FFFFFFF);
    EXPECT_TRUE(in.ReadBool()); // any non-zero value is true

    CArchive out;
    out.WriteTimeStamp(-1);
    out.WriteTimeStamp(0xFFFFFFFFll);
    EXPECT_EQ(out.Data(), Hex("FFFFFFFF FFFFFFFF"));
    try {
        out.WriteTimeStamp(0x100000000ll);
        FAIL() << "a time stamp of 2^32 was written";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetCause(), CArchiveException::Cause::BadTimeStamp);
    }
    EXPECT_EQ(out.Data().size(), 8u); // nothing more was written

    // A record of a class the store does not know cannot be written.
    struct CStrayAlert : CAlert {
        const RecordClass& GetRuntimeClass() const override { return stray; }
        RecordClass stray{"CStrayAlert", 0, nullptr, &CAlert::classInfo};
    };
    CSentrelDoc doc;
    doc.alerts.push_back(std::make_unique<CStrayAlert>());
    try {
        doc.Encode();
        FAIL() << "a record of an unknown class was written";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.GetCause(), CArchiveException::Cause::NotArchivable);
    }
}

// Every kind, from bytes written by hand with a distinct value in every field: loading
// puts each value in its field, saving gives back the same bytes.
TEST_F(ArchiveTest, EveryKindRoundTrips) {
    const std::string alerts =
        Hex("0600") + NewClass("CClickatellAlert") + Str("C") + Str("F") + Str("T") + Int(3) +
        Int(1) + Str("SMS_FLASH") + Str("U") + Str("P") + Str("I") + NewClass("CEmailAlert") +
        Str("E") + Str("r@x") + Int(5) + Int(160) + Int(1) + Int(-1) + Int(1) + Int(2) + Str("u") +
        Str("p") + Str("f@x") + Str("h") + Str("N") + Int(2525) + NewClass("CMessageAlert") +
        Str("M") + NewClass("CRunProgramAlert") + Str("R") + Str("-a") + Str("/bin/p") +
        NewClass("CSoundAlert") + Str("S") + Str("/s.wav") + NewClass("CAlert") + Str("B");
    const std::string watches =
        Hex("0600") + NewClass("CDateTimeWatch") + Str("D") + DateTime(0, 0.75) + Int(1) + Int(0) +
        DateTime(2, 46363.0) + DateTime(1, 0.25) + Str("D") + Int(1) + Int(0) + Int(1) + Int(0) +
        Int(0) + Int(1) + Int(0) + Str("msg") + DateTime(0, -1.25) + NewClass("CFileWatch") +
        Str("F") + Str("c") + Str("n") + Str("/f") + Str("m") + Int(1) + Int(3) + Str("lc") +
        Int(-2) + NewClass("CPINGWatch") + Str("P") + Str("h") + Str("32") + Str("10") +
        Str("5000") + Str("fail") + NewClass("CPOPWatch") + Str("O") + Str("s") + Str("u") +
        Str("p") + Int(1) + Int(2) + Int(3) + Int(4) + Int(5) + Int(6) + Str("many") + Int(7) +
        Str("one") + Hex("FFFFFFFF") + Int(8) + Int(9) + NewClass("CWebPageWatch") + Str("W") +
        Str("t") + Str("u") + Str("c") + Int(3) + Str("ct") + Str("cm") + Str("at") + Str("am") +
        Str("wp") + Str("wu") + Str("rp") + Str("lp") + NewClass("CWatch") + Str("B");
    // Numbers: 6 alert classes and records take 1..12, the watches 13..24.
    const std::string activations = Hex("0100") + NewClass("CActivation") + Hex("0200 0200 0400") +
                                    Hex("0100 1000") + Int(1) + Int(0) + Str("act") + Int(1) +
                                    Str("cw") + Str("xw") + Str("nd") + Str("et") + Str("iv") +
                                    Str("st") + Str("nt") + Int(1);
    const std::string bytes = Hex("01000000") + alerts + watches + activations;

    auto doc = Load(bytes);
    ASSERT_EQ(doc->alerts.size(), 6u);
    ASSERT_EQ(doc->watches.size(), 6u);
    ASSERT_EQ(doc->activations.size(), 1u);
    EXPECT_TRUE(doc->traceOn);

    const auto& c = dynamic_cast<const CClickatellAlert&>(*doc->alerts[0]);
    EXPECT_EQ(std::tie(c.name, c.from, c.to, c.msgType, c.apiUser, c.apiPassword, c.apiId),
              std::make_tuple("C", "F", "T", "SMS_FLASH", "U", "P", "I"));
    EXPECT_EQ(std::tie(c.maxMessages, c.sendMultiple), std::make_tuple(3, 1));

    const auto& e = dynamic_cast<const CEmailAlert&>(*doc->alerts[1]);
    EXPECT_EQ(std::tie(e.name, e.recipients, e.userName, e.password, e.fromAddress, e.smtpHost,
                       e.fromName),
              std::make_tuple("E", "r@x", "u", "p", "f@x", "h", "N"));
    EXPECT_EQ(std::tie(e.maxMessages, e.maxSmsChars, e.smsSplitting, e.multipleMessages,
                       e.subjectOnly, e.authType, e.port),
              std::make_tuple(5, 160, 1, -1, 1, 2, 2525));

    EXPECT_EQ(dynamic_cast<const CMessageAlert&>(*doc->alerts[2]).name, "M");
    const auto& r = dynamic_cast<const CRunProgramAlert&>(*doc->alerts[3]);
    EXPECT_EQ(r.arguments, "-a"); // the arguments come before the program
    EXPECT_EQ(r.program, "/bin/p");
    EXPECT_EQ(dynamic_cast<const CSoundAlert&>(*doc->alerts[4]).soundFile, "/s.wav");
    EXPECT_STREQ(doc->alerts[5]->GetRuntimeClass().name, "CAlert");

    const auto& d = dynamic_cast<const CDateTimeWatch&>(*doc->watches[0]);
    EXPECT_TRUE(d.dailyTime.SameStoredValue(CDateTime(CDateTime::Valid, 0.75)));
    EXPECT_TRUE(d.dailyOn);
    EXPECT_FALSE(d.onceOn);
    EXPECT_TRUE(d.onceDate.SameStoredValue(CDateTime(CDateTime::Null, 46363.0)));
    EXPECT_TRUE(d.onceTime.SameStoredValue(CDateTime(CDateTime::Invalid, 0.25)));
    // Friday, Monday, Saturday, Sunday, Thursday, Tuesday, Wednesday = 1 0 1 0 0 1 0
    EXPECT_EQ(std::make_tuple(d.onMonday, d.onTuesday, d.onWednesday, d.onThursday, d.onFriday,
                              d.onSaturday, d.onSunday),
              std::make_tuple(false, true, false, false, true, true, false));
    EXPECT_EQ(d.message, "msg");
    EXPECT_TRUE(d.lastCheck.SameStoredValue(CDateTime(CDateTime::Valid, -1.25)));

    const auto& f = dynamic_cast<const CFileWatch&>(*doc->watches[1]);
    EXPECT_EQ(std::tie(f.containsText, f.notContainsText, f.fileName, f.message, f.lastContents),
              std::make_tuple("c", "n", "/f", "m", "lc"));
    EXPECT_EQ(std::tie(f.messageSource, f.watchMode), std::make_tuple(1, 3));
    EXPECT_EQ(f.lastModified, -2);

    const auto& p = dynamic_cast<const CPINGWatch&>(*doc->watches[2]);
    EXPECT_EQ(
        std::tie(p.hostName, p.packetSizeText, p.timeToLiveText, p.timeoutText, p.failureMessage),
        std::make_tuple("h", "32", "10", "5000", "fail"));

    const auto& o = dynamic_cast<const CPOPWatch&>(*doc->watches[3]);
    EXPECT_EQ(std::tie(o.popServer, o.popUserName, o.popPassword, o.manyText, o.oneText),
              std::make_tuple("s", "u", "p", "many", "one"));
    EXPECT_EQ(std::tie(o.oneIncludeContent, o.oneIncludeFrom, o.manyIncludeContent,
                       o.manyIncludeCount, o.manyIncludeFrom, o.manyIncludeSubject,
                       o.oneIncludeSubject, o.skipIfOverSize, o.skipUppercaseSubject),
              std::make_tuple(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_EQ(o.maxSizeKb, 0xFFFFFFFFu);

    const auto& w = dynamic_cast<const CWebPageWatch&>(*doc->watches[4]);
    EXPECT_EQ(std::tie(w.textToWatch, w.url, w.changedMessage, w.containsText, w.containsMessage,
                       w.absentText, w.absentMessage, w.webPassword, w.webUserName, w.referencePage,
                       w.lastPage),
              std::make_tuple("t", "u", "c", "ct", "cm", "at", "am", "wp", "wu", "rp", "lp"));
    EXPECT_EQ(w.mode, 3);
    EXPECT_STREQ(doc->watches[5]->GetRuntimeClass().name, "CWatch");

    const CActivation& a = *doc->activations[0];
    EXPECT_EQ(a.alerts, (std::vector<CAlert*>{doc->alerts[0].get(), doc->alerts[1].get()}));
    EXPECT_EQ(a.GetWatch(), doc->watches[1].get());
    EXPECT_EQ(std::make_tuple(a.containsFilterOn, a.excludesFilterOn, a.enabled, a.windowOn),
              std::make_tuple(true, false, true, true));
    EXPECT_EQ(std::tie(a.name, a.containsWords, a.excludesWords, a.nextDate, a.endTime, a.interval,
                       a.startTime, a.nextTime),
              std::make_tuple("act", "cw", "xw", "nd", "et", "iv", "st", "nt"));

    EXPECT_EQ(doc->Encode(), bytes);
}

TEST_F(ArchiveTest, DateTimeWatchKeepsTheSecondCopyOfItsName) {
    const std::string bytes = kNoTrace + kEmptyList + Hex("0100") + NewClass("CDateTimeWatch") +
                              Str("old") + DateTime(0, 0) + Int(0) + Int(0) + DateTime(0, 0) +
                              DateTime(0, 0) + Str("new") + std::string(28, '\0') + Str("") +
                              DateTime(0, 0) + kEmptyList;
    auto doc = Load(bytes);
    ASSERT_EQ(doc->watches.size(), 1u);
    EXPECT_EQ(doc->watches[0]->name, "new");
}

// An archive error stops the load where it happens; what was read completely before it
// stays in the document.
TEST_F(ArchiveTest, ErrorsKeepTheRecordsReadBefore) {
    const std::string oneAlert = kNoTrace + Hex("0200") + NewClass("CMessageAlert") + Str("ok");
    const std::size_t at = oneAlert.size();
    const struct {
        const char* what;
        std::string rest;
        const char* reason;
        bool atEnd = false; // the file ends right after `rest`
    } cases[] = {
        {"end of file in a record", ClassRef(1) + Hex("20") + "ab", "unexpected end of file"},
        {"end of file in a tag", Hex("01"), "unexpected end of file", true},
        {"string length past the end", ClassRef(1) + Hex("FF FFFF FFFFFF7F"),
         "unexpected end of file"},
        {"wide string past the end", ClassRef(1) + Hex("FF FEFF 10 4100"),
         "unexpected end of file"},
        {"eight-byte length over 2^31", ClassRef(1) + Hex("FF FFFF FFFFFFFF 0000008000000000"),
         "impossible length"},
        {"back reference ahead", Hex("0300"), "bad record or class number"},
        {"back reference to a class", Hex("0100"), "bad record or class number"},
        {"class reference to a record", ClassRef(2), "bad record or class number"},
        {"class reference to nothing", ClassRef(0), "bad record or class number"},
        {"escaped number zero", Hex("FF7F 00000000"), "bad record or class number"},
        {"escaped class ahead", Hex("FF7F") + Le32(0x80000009u), "bad record or class number"},
        {"bad schema", Hex("FFFF 0100 0600") + "CAlert" + Str("x"), "unsupported class version"},
        {"unknown class", NewClass("CFooAlert") + Str("x"), "unknown record class"},
        {"CObject is not a store class", NewClass("CObject"), "unknown record class"},
        {"class name of 64", Hex("FFFF 0000 4000") + std::string(64, 'C'), "impossible length"},
        {"watch among the alerts", NewClass("CWatch") + Str("w"), "record of the wrong kind"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<StoreDamage> damage;
        auto doc = Load(oneAlert + c.rest + (c.atEnd ? "" : kEmptyList + kEmptyList), &damage);
        ASSERT_TRUE(damage);
        EXPECT_EQ(damage->reason.rfind(c.reason, 0), 0u) << damage->reason;
        EXPECT_GE(damage->offset, at);
        ASSERT_EQ(doc->alerts.size(), 1u);
        EXPECT_EQ(doc->alerts[0]->name, "ok");
    }

    // A list cut short keeps the records it holds in full; a count far past the end
    // reserves nothing and fails where the bytes end.
    std::optional<StoreDamage> damage;
    auto doc = Load(kNoTrace + Hex("0300") + NewClass("CMessageAlert") + Str("one") + ClassRef(1) +
                        Str("two") + ClassRef(1) + Hex("05") + "thr",
                    &damage);
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->reason.rfind("unexpected end of file", 0), 0u);
    ASSERT_EQ(doc->alerts.size(), 2u);
    EXPECT_EQ(doc->alerts[1]->name, "two");
    doc = Load(kNoTrace + Hex("FFFF FFFFFFFF 0000"), &damage);
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->offset, 12u);
    EXPECT_TRUE(doc->alerts.empty());

    // A class name of 63 characters is read, and then is not a known class.
    Load(kNoTrace + Hex("0100 FFFF 0000 3F00") + std::string(63, 'C'), &damage);
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->reason.rfind("unknown record class", 0), 0u);

    // An activation in an activation's alerts is refused before its body, so the bytes
    // cannot nest activations.
    std::string nested =
        kNoTrace + kEmptyList + kEmptyList + Hex("0100") + NewClass("CActivation") + Hex("0100");
    for (int i = 0; i < 100000; ++i) {
        nested += ClassRef(1) + Hex("0100");
    }
    doc = Load(nested, &damage);
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->offset, 4u + 2 + 2 + 2 + NewClass("CActivation").size() + 2);
    EXPECT_EQ(damage->reason.rfind("record of the wrong kind", 0), 0u);
    EXPECT_TRUE(doc->activations.empty());

    // The activation in error is not kept; the complete one before it is.
    const std::string twoActivations =
        kNoTrace + kEmptyList + Hex("0100") + NewClass("CWatch") + Str("w") + Hex("0200") +
        NewClass("CActivation") + kEmptyList + Hex("0100 0200") + Hex("00000000 00000000") +
        Str("a1") + Hex("01000000 00 00 00 00 00 00 00 00000000") + ClassRef(3) + kEmptyList +
        Hex("0100 0200") + Hex("00000000 00000000") + Str("a2");
    doc = Load(twoActivations, &damage);
    ASSERT_TRUE(damage);
    ASSERT_EQ(doc->activations.size(), 1u);
    EXPECT_EQ(doc->activations[0]->name, "a1");
    EXPECT_EQ(doc->activations[0]->GetWatch(), doc->watches[0].get());
}

} // namespace
} // namespace sentrel
