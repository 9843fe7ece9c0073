#include "watches/WebPageWatch.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CWebPageWatch, CWatch);

void CWebPageWatch::Serialize(CArchive& ar) {
    CWatch::Serialize(ar);
    ar.Serialize(textToWatch);
    ar.Serialize(url);
    ar.Serialize(changedMessage);
    ar.Serialize(mode);
    ar.Serialize(containsText);
    ar.Serialize(containsMessage);
    ar.Serialize(absentText);
    ar.Serialize(absentMessage);
    ar.Serialize(webPassword);
    ar.Serialize(webUserName);
    ar.Serialize(referencePage);
    ar.Serialize(lastPage);
}

} // namespace sentrel
