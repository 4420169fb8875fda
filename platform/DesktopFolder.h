// The folder the desktop program works in when the desktop's menu starts it: a folder of its
// own under the user's data folder, given a copy of the prepared settings file the first time.
// From a terminal the programs work in the folder they start in and none of this is used.
#pragma once

#include <string>

namespace rix {

// The user's data folder as the XDG base directories name it: $XDG_DATA_HOME when it is an
// absolute path (a relative one is ignored, as XDG asks), else $HOME/.local/share. Null means
// unset. Fails with "Cannot find the user's data folder..." when neither gives a folder.
std::string UserDataFolder(const char* xdgDataHome, const char* home);

// Makes `folder` with any missing parents (new levels only the user may enter, as XDG asks)
// and, when nothing called `settingsFileName` is there yet, puts a whole copy of
// `preparedSettings` there and returns true. Whatever has that name already is never
// replaced, not even when another program makes it at the same moment. Fails with "Cannot
// create folder %s: reason", "Cannot open file %s" (the prepared file, read only when a copy
// is due) or "Cannot create file %s" (the copy); a failed copy leaves nothing behind.
bool PrepareWorkingFolder(const std::string& folder, const std::string& settingsFileName,
                          const std::string& preparedSettings);

// Makes `folder` the current directory; "Cannot change to folder %s: reason" when it cannot.
void EnterFolder(const std::string& folder);

} // namespace rix
