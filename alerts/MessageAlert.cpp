#include "alerts/MessageAlert.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CMessageAlert, CAlert);

} // namespace sentrel
