#include "alerts/EmailAlert.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CEmailAlert, CAlert);

void CEmailAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(recipients);
    ar.Serialize(maxMessages);
    ar.Serialize(maxSmsChars);
    ar.Serialize(smsSplitting);
    ar.Serialize(multipleMessages);
    ar.Serialize(subjectOnly);
    ar.Serialize(authType);
    ar.Serialize(userName);
    ar.Serialize(password);
    ar.Serialize(fromAddress);
    ar.Serialize(smtpHost);
    ar.Serialize(fromName);
    ar.Serialize(port);
}

} // namespace sentrel
