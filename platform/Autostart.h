#pragma once

// "Start at login" through the desktop's autostart folder: a desktop entry named
// sentrel.desktop in $XDG_CONFIG_HOME/autostart (~/.config/autostart) that starts the
// program with --minimised, so that it comes up in the notification area.

#include <string>

namespace sentrel {

// The entry's path under `xdgConfigHome` (when absolute) or the home folder's .config
// (HomeFolder(home)); empty when neither gives a folder. The environment is passed in so that tests
// can choose it.
std::string AutostartFile(const char* xdgConfigHome, const char* home);

// The same from this process's environment.
std::string AutostartFileHere();

// The entry that starts `program` (a full path) minimised.
std::string AutostartEntry(const std::string& program);

// Whether the entry at `file` is there and not switched off (Hidden=true).
bool AutostartEnabled(const std::string& file);

// Writes the entry for `program` at `file` (replaced whole, never half written) or removes
// it. False, with a text for the user in `problem`, when that fails.
bool SetAutostart(const std::string& file, bool on, const std::string& program,
                  std::string& problem);

} // namespace sentrel
