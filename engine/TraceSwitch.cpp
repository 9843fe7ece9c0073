#include "engine/TraceSwitch.h"

#include "model/SentrelDoc.h"
#include "services/EventLog.h"

namespace sentrel {

void ApplyTraceSwitch(CSentrelDoc& doc, bool on) {
    CTraceFile& trace = CTraceFile::Instance();
    if (!trace.IsOpen()) {
        trace.SetPath(TracePathFor(doc.StorePath()));
    }
    doc.traceOn = on;
    doc.Save();
    if (on) {
        trace.SwitchOn();
        Log("TRACE", "Trace Switched on");
    } else {
        // Still written: the file is open until the switch goes off.
        Log("TRACE", "Trace Switched off");
        trace.SwitchOff();
    }
}

} // namespace sentrel
