// Feeds arbitrary bytes to the store reader. Whatever the bytes, reading must end in a
// document or an archive error; what was read must save, and saving is stable: the saved
// bytes load again without error and save to the very same bytes. Read in pieces, as from
// a file, the bytes give the same document and the same fault. The JSON dump of
// sentrelctl runs over every document too.

#include "alerts/AlertKinds.h"
#include "model/Archive.h"
#include "model/SentrelDoc.h"
#include "tools/StoreJson.h"
#include "watches/WatchKinds.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = [] {
        sentrel::RegisterWatchKinds();
        sentrel::RegisterAlertKinds();
        return true;
    }();
    (void)registered;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    sentrel::CSentrelDoc doc;
    const auto fault = doc.Decode(bytes);
    const std::string saved = doc.Encode();
    (void)sentrel::tools::JsonText(sentrel::tools::DocumentToJson(doc));

    // Pieces of 1 to 16 bytes, their sizes taken from the bytes themselves.
    std::size_t at = 0;
    sentrel::CArchive piecewise(
        [&](char* into, std::size_t max) {
            const std::size_t piece = size ? data[at % size] % 16 + 1u : 1;
            const std::size_t n = std::min({size - at, max, piece});
            if (n != 0) {
                std::memcpy(into, data + at, n);
            }
            at += n;
            return n;
        },
        size);
    sentrel::CSentrelDoc streamed;
    const auto streamedFault = streamed.Decode(piecewise);
    if (fault.has_value() != streamedFault.has_value() ||
        (fault &&
         (fault->offset != streamedFault->offset || fault->reason != streamedFault->reason)) ||
        streamed.Encode() != saved) {
        std::fprintf(stderr, "reading in pieces gave another outcome\n");
        std::abort();
    }

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
