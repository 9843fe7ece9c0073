#include "watches/POPWatch.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CPOPWatch, CWatch);

void CPOPWatch::Serialize(CArchive& ar) {
    CWatch::Serialize(ar);
    ar.Serialize(popServer);
    ar.Serialize(popUserName);
    ar.Serialize(popPassword);
    ar.Serialize(oneIncludeContent);
    ar.Serialize(oneIncludeFrom);
    ar.Serialize(manyIncludeContent);
    ar.Serialize(manyIncludeCount);
    ar.Serialize(manyIncludeFrom);
    ar.Serialize(manyIncludeSubject);
    ar.Serialize(manyText);
    ar.Serialize(oneIncludeSubject);
    ar.Serialize(oneText);
    ar.Serialize(maxSizeKb);
    ar.Serialize(skipIfOverSize);
    ar.Serialize(skipUppercaseSubject);
}

} // namespace sentrel
