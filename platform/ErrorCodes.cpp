#include "platform/ErrorCodes.h"

namespace sentrel {

namespace {
thread_local int t_lastError = 0;
}

int GetLastError() { return t_lastError; }
void SetLastError(int code) { t_lastError = code; }

} // namespace sentrel
