#pragma once

// sentrelctl's store commands: dump (the store as JSON), check (does it decode?) and
// resave (load and write back through the program's own save).

#include "tools/Command.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>

namespace sentrel {
class CSentrelDoc;
}

namespace sentrel::tools {

std::span<const Command> StoreCommands();

// The document as sentrelctl dump prints it.
nlohmann::ordered_json DocumentToJson(const CSentrelDoc& doc);

// Text for JSON: valid UTF-8 sequences are kept, every other byte is read as Windows-1252.
std::string TextFromStore(const std::string& bytes);

} // namespace sentrel::tools
