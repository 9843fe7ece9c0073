#pragma once

// The large store of the benchmarks (about 105 MB): 200 web page watches holding two
// 256 KiB pages each, and 10,000 small records (4,000 alerts, 4,000 watches, 2,000
// activations, enabled, every five minutes, next due 07/12/2026 09:00:00).

#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "model/SentrelDoc.h"
#include "watches/PINGWatch.h"
#include "watches/WebPageWatch.h"

#include <memory>
#include <string>

namespace sentrel::test {

inline std::string Page(int seed) {
    std::string page;
    page.reserve(256 * 1024);
    while (page.size() < 256 * 1024) {
        page += "<p>Item " + std::to_string(seed++) +
                ": the quick brown fox jumps over the lazy "
                "dog, and the page goes on.</p>\n";
    }
    page.resize(256 * 1024);
    return page;
}

inline void FillLargeStore(CSentrelDoc& doc) {
    for (int i = 0; i < 4000; ++i) {
        if (i % 2) {
            auto a = std::make_unique<CEmailAlert>();
            a->name = "mail " + std::to_string(i);
            a->recipients = "someone@example.org";
            a->smtpHost = "mail.example.org";
            a->port = 25;
            doc.alerts.push_back(std::move(a));
        } else {
            auto a = std::make_unique<CMessageAlert>();
            a->name = "popup " + std::to_string(i);
            doc.alerts.push_back(std::move(a));
        }
    }
    for (int i = 0; i < 200; ++i) {
        auto w = std::make_unique<CWebPageWatch>();
        w->name = "page " + std::to_string(i);
        w->url = "http://www.example.org/" + std::to_string(i);
        w->referencePage = Page(i * 1000);
        w->lastPage = Page(i * 1000 + 7);
        doc.watches.push_back(std::move(w));
    }
    for (int i = 0; i < 4000; ++i) {
        auto w = std::make_unique<CPINGWatch>();
        w->name = "host " + std::to_string(i);
        w->hostName = "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
        w->packetSizeText = "32";
        w->timeToLiveText = "10";
        w->timeoutText = "5000";
        doc.watches.push_back(std::move(w));
    }
    for (int i = 0; i < 2000; ++i) {
        auto a = std::make_unique<CActivation>();
        a->name = "activation " + std::to_string(i);
        a->watch.push_back(doc.watches[static_cast<std::size_t>(i) % doc.watches.size()].get());
        a->alerts.push_back(doc.alerts[static_cast<std::size_t>(i)].get());
        a->alerts.push_back(doc.alerts[static_cast<std::size_t>(i) + 2000].get());
        a->enabled = true;
        a->interval = "5";
        a->nextDate = "07/12/2026";
        a->nextTime = "09:00:00";
        doc.activations.push_back(std::move(a));
    }
}

} // namespace sentrel::test
