#include "alerts/MessageAlert.h"

#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CMessageAlert, CAlert, "CMessageAlert");

bool CMessageAlert::Send(std::string message) {
    Platform().alertPopup->Open(message);
    return true;
}

} // namespace sentrel
