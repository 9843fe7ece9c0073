// Writes the example store that the README's run command shows: a few records of most
// kinds, with fixed values so that the file is the same at every run.
//   make_example_store OUT

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <fstream>
#include <iostream>

using namespace sentrel;

namespace {

template <class T> T* Add(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> record) {
    list.push_back(std::move(record));
    return list.back().get();
}

std::unique_ptr<CActivation> Activation(const std::string& name, CWatch* watch,
                                        std::vector<CAlert*> alerts) {
    auto a = std::make_unique<CActivation>();
    a->name = name;
    a->watch = {watch};
    a->alerts = std::move(alerts);
    a->enabled = true;
    a->nextDate = "07/12/2026";
    a->nextTime = "09:00:00";
    a->interval = "5";
    a->startTime = "9:00a";
    a->endTime = "5:00p";
    return a;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_example_store OUT\n";
        return 2;
    }
    RegisterWatchKinds();
    RegisterAlertKinds();
    CSentrelDoc doc;

    auto popup = std::make_unique<CMessageAlert>();
    popup->name = "Popup";
    auto mail = std::make_unique<CEmailAlert>();
    mail->name = "Mail me";
    mail->recipients = "me@example.org";
    mail->subjectOnly = 1;
    mail->multipleMessages = -1;
    mail->fromAddress = "sentrel@example.org";
    mail->fromName = "Sentrel";
    mail->smtpHost = "mail.example.org";
    mail->port = 25;
    auto beep = std::make_unique<CSoundAlert>();
    beep->name = "Beep";
    beep->soundFile = "/usr/share/sounds/freedesktop/stereo/bell.oga";
    auto notes = std::make_unique<CRunProgramAlert>();
    notes->name = "Open notes";
    notes->program = "/usr/bin/xdg-open";
    notes->arguments = "notes.txt";
    CAlert* popupAlert = Add(doc.alerts, std::unique_ptr<CAlert>(std::move(popup)));
    CAlert* mailAlert = Add(doc.alerts, std::unique_ptr<CAlert>(std::move(mail)));
    CAlert* beepAlert = Add(doc.alerts, std::unique_ptr<CAlert>(std::move(beep)));
    Add(doc.alerts, std::unique_ptr<CAlert>(std::move(notes)));
    auto sms = std::make_unique<CClickatellAlert>();
    sms->name = "Text me";
    sms->from = "Sentrel";
    sms->to = "447700900123";
    sms->maxMessages = 1;
    sms->msgType = "SMS_TEXT";
    Add(doc.alerts, std::unique_ptr<CAlert>(std::move(sms)));

    auto lunch = std::make_unique<CDateTimeWatch>();
    lunch->name = "Lunch";
    lunch->dailyOn = true;
    lunch->dailyTime = CDateTime(CDateTime::Valid, 0.5);
    lunch->onMonday = lunch->onTuesday = lunch->onWednesday = lunch->onThursday = lunch->onFriday =
        true;
    lunch->onceDate = CDateTime(CDateTime::Valid, 46363.0);
    lunch->message = "Time for lunch";
    lunch->lastCheck = CDateTime(CDateTime::Valid, 46363.375);
    auto ping = std::make_unique<CPINGWatch>();
    ping->name = "Router";
    ping->hostName = "192.168.1.1";
    ping->packetSizeText = "32";
    ping->timeToLiveText = "10";
    ping->timeoutText = "5000";
    ping->failureMessage = "The router does not answer";
    auto log = std::make_unique<CFileWatch>();
    log->name = "Build log";
    log->fileName = "/var/log/build.log";
    log->watchMode = 2;
    log->containsText = "FAILED";
    log->messageSource = 1;
    log->message = "The build failed";
    log->lastModified = 1796661331;
    auto page = std::make_unique<CWebPageWatch>();
    page->name = "News";
    page->url = "http://www.example.org/";
    page->changedMessage = "The news page changed";
    CWatch* lunchWatch = Add(doc.watches, std::unique_ptr<CWatch>(std::move(lunch)));
    CWatch* pingWatch = Add(doc.watches, std::unique_ptr<CWatch>(std::move(ping)));
    Add(doc.watches, std::unique_ptr<CWatch>(std::move(log)));
    Add(doc.watches, std::unique_ptr<CWatch>(std::move(page)));
    auto mailbox = std::make_unique<CPOPWatch>();
    mailbox->name = "Inbox";
    mailbox->popServer = "pop.example.org";
    mailbox->popUserName = "me";
    mailbox->oneText = "New mail";
    mailbox->oneIncludeFrom = 1;
    mailbox->oneIncludeSubject = 1;
    mailbox->manyText = " new mails";
    mailbox->manyIncludeCount = 1;
    mailbox->maxSizeKb = 512;
    Add(doc.watches, std::unique_ptr<CWatch>(std::move(mailbox)));

    doc.activations.push_back(Activation("Lunch bell", lunchWatch, {popupAlert, beepAlert}));
    doc.activations.push_back(Activation("Router down", pingWatch, {mailAlert, popupAlert}));
    doc.activations.back()->windowOn = true;

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    const std::string bytes = doc.Encode();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::cerr << "make_example_store: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
