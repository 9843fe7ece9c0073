#include "alerts/MessageAlert.h"

#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CMessageAlert, CAlert);

void CMessageAlert::Send(std::string message) {
    Platform().alertPopup->Open(message);
}

} // namespace sentrel
