#include "watches/WatchKinds.h"

#include "model/TypeRegistry.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

#include <array>

namespace sentrel {

namespace {

constexpr std::array<const RecordClass*, 5> kWatchKinds = {
    &CPOPWatch::classInfo,     &CPINGWatch::classInfo, &CDateTimeWatch::classInfo,
    &CWebPageWatch::classInfo, &CFileWatch::classInfo,
};

} // namespace

std::span<const RecordClass* const> WatchKinds() {
    return kWatchKinds;
}

void RegisterWatchKinds() {
    for (const RecordClass* kind : kWatchKinds) {
        TypeRegistry::Instance().Register(*kind);
    }
}

} // namespace sentrel
