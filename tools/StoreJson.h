#pragma once

// The store as JSON, both ways, through the records' own field lists: what sentrelctl dump
// prints and what sentrelctl import reads.
//
// Text fields are byte strings. Well-formed UTF-8 is written as it is; any other byte is
// read as Windows-1252 and written as a \u escape of its character. Reading turns such an
// escape back into that one byte, and a character written as itself into its UTF-8 bytes,
// so that a dump reads back to the very bytes it came from. A day number that is not a
// finite number is written as the string "0x" and its sixteen hexadecimal digits.
//
// An activation names the document's watches and alerts by their place in its lists. A
// record the store holds only inside activations is written in full where it first
// appears and, wherever it appears again, as the JSON path of that first place
// ("activations[0].alerts[1]").

#include <nlohmann/json.hpp>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sentrel {
class CObject;
class CSentrelDoc;
} // namespace sentrel

namespace sentrel::tools {

using Json = nlohmann::ordered_json;

// The document as a JSON value; its strings hold the store's bytes, to be written with
// JsonText.
Json DocumentToJson(const CSentrelDoc& doc);

// The JSON text of a value as dump prints it: two spaces of indent per level, strings as
// described above.
std::string JsonText(const Json& value);

// What a JSON store cannot be read for: its message names the place, as a JSON path
// ("watches[3].packetSizeText: expected a string, not a number"), or the line and column
// of bad JSON.
class JsonStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills an empty document from a JSON text. Records that the store holds only inside
// activations go to `unlisted`, which must outlive the document's use of them. Throws
// JsonStoreError; the document may then hold part of the text.
void DocumentFromJson(std::string_view text, CSentrelDoc& doc,
                      std::vector<std::unique_ptr<CObject>>& unlisted);

} // namespace sentrel::tools
