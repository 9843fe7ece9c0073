#pragma once

// What the watches remember from one run to the next (the mail a mailbox watch has
// reported), kept in a file of its own beside the store, "Sentrel.state", so that the
// store's bytes stay as the user's records make them. It is written whenever the store is
// saved, atomically and owner-only; a file that is missing or damaged costs only the
// memory: that run starts as a first one would.
//
// The file is text, one entry a line, fields separated by one space, each field with the
// bytes up to the space, '%' and DEL written as "%XX" (two capital hexadecimal digits):
//
//   sentrel-state 1
//   watch <key field> <key field> ...
//   line <text>
//   line <text>
//   watch ...
//
// Each "watch" line opens the lines of one watch, named by the watch's key (LastingKey).
// Two watches with the same key take the entries with that key in store order.

#include "model/SentrelDoc.h"

#include <functional>
#include <string>

namespace sentrel {

// "Sentrel.state" in the store's folder.
std::string RunStatePathFor(const std::string& storePath);

// The file's text for the watches of the document as they are now.
std::string RunStateText(const CSentrelDoc& doc);

// Hands each watch of the document the lines kept for its key in `text`. False when the
// text is not a state file this version reads (nothing is handed on then), with `why`.
bool ApplyRunState(CSentrelDoc& doc, const std::string& text, std::string& why);

// Reads the file beside the store into the document's watches. Empty when it was read;
// otherwise the sentence for the trace that says it was not, and why.
std::string LoadRunState(CSentrelDoc& doc);

// A save point: the store, then the run state beside it. The run state is taken before the
// store's save lets go of the document (`released`); a failure to write it is traced and
// does not count against the store's outcome. Nothing is written when the store was not.
SaveOutcome SaveWithRunState(CSentrelDoc& doc, const std::function<void()>& released = {});

} // namespace sentrel
