// Feeds arbitrary bytes to the store reader. Whatever the bytes, reading must end in a
// document or an archive error; what was read must save, and saving is stable: the saved
// bytes load again without error and save to the very same bytes. The JSON dump of
// sentrelctl runs over every document too.

#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
#include "tools/StoreJson.h"
#include "watches/WatchKinds.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = [] {
        sentrel::RegisterWatchKinds();
        sentrel::RegisterAlertKinds();
        return true;
    }();
    (void)registered;

    sentrel::CSentrelDoc doc;
    doc.Decode(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string saved = doc.Encode();
    (void)sentrel::tools::JsonText(sentrel::tools::DocumentToJson(doc));

    sentrel::CSentrelDoc again;
    if (const auto damage = again.Decode(saved)) {
        std::fprintf(stderr, "saved store does not load: %s at %llu\n", damage->reason.c_str(),
                     static_cast<unsigned long long>(damage->offset));
        std::abort();
    }
    if (again.Encode() != saved) {
        std::fprintf(stderr, "saving a loaded store again changed its bytes\n");
        std::abort();
    }
    return 0;
}
