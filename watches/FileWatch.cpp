#include "watches/FileWatch.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CFileWatch, CWatch);

void CFileWatch::Serialize(CArchive& ar) {
    CWatch::Serialize(ar);
    ar.Serialize(containsText);
    ar.Serialize(notContainsText);
    ar.Serialize(fileName);
    ar.Serialize(message);
    ar.Serialize(messageSource);
    ar.Serialize(watchMode);
    ar.Serialize(lastContents);
    ar.SerializeTimeStamp(lastModified);
}

} // namespace sentrel
