#include "watches/PINGWatch.h"

#include "model/Fields.h"
#include "net/IcmpEcho.h"
#include "platform/Text.h"
#include "services/NetworkServices.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CPINGWatch, CWatch, "CPINGWatch");

void CPINGWatch::VisitFields(IFieldVisitor& v) {
    CWatch::VisitFields(v);
    v.String("hostName", hostName);
    v.String("packetSizeText", packetSizeText);
    v.String("timeToLiveText", timeToLiveText);
    v.String("timeoutText", timeoutText);
    v.String("failureMessage", failureMessage);
}

namespace {

// The number at the start of a text: leading blanks, an optional sign, the digits up to
// the first non-digit; 0 when there are none.
int LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1; // saturate; sign applied below
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace

bool CPINGWatch::Check(std::string& message) {
    ResetFailure();
    RequestConnection();
    // Only the low byte of the packet size counts: 300 means 44.
    const auto packetSize = static_cast<std::uint8_t>(LeadingNumber(packetSizeText) & 0xFF);
    // A negative time-out would wrap to weeks of waiting on the program's only thread.
    const int timeout = std::max(0, LeadingNumber(timeoutText));
    // The stored time to live is not applied: a small one (10 by default) would report
    // every host farther away than that as down.
    std::string localFault;
    if (SendIcmpEcho(hostName.c_str(), static_cast<unsigned>(timeout), packetSize, &localFault)) {
        return false;
    }
    // A host that does not answer is what the watch reports; a machine that cannot ask is
    // no news about the host.
    if (!localFault.empty()) {
        NoteFailure(localFault);
        return false;
    }
    message = failureMessage;
    return true;
}

} // namespace sentrel
