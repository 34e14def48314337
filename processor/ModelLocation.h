#pragma once

#include <string>

namespace torvik {

// Full path of the binary this code was loaded from: the plug-in's shared object, or the
// executable it is linked into. Empty if it cannot be found.
std::string ownBinaryPath();

// The model data folder beside that binary: its path with ".dat" appended.
std::string defaultModelFolder();

} // namespace torvik
