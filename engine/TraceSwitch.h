#pragma once

// The trace switch: the document keeps it, the event log follows it.

namespace sentrel {

class CSentrelDoc;

// What ticking or clearing "Log trace to trace.txt" does, and what start-up does with the
// stored switch: the document's switch is set and the store saved; switching on opens the
// file beside the store and writes "Trace Switched on" first, switching off writes
// "Trace Switched off" last and closes the file.
void ApplyTraceSwitch(CSentrelDoc& doc, bool on);

} // namespace sentrel
