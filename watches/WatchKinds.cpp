#include "watches/WatchKinds.h"

#include "model/TypeRegistry.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

namespace sentrel {

void RegisterWatchKinds() {
    TypeRegistry& registry = TypeRegistry::Instance();
    registry.Register(CPOPWatch::classInfo);
    registry.Register(CPINGWatch::classInfo);
    registry.Register(CDateTimeWatch::classInfo);
    registry.Register(CWebPageWatch::classInfo);
    registry.Register(CFileWatch::classInfo);
}

} // namespace sentrel
