#pragma once

namespace torvik {

// The two tube sets the preamp can be fitted with. The text tags name the model data files.
enum class TubeFamily { Fresh = 0, Aged = 1 };

inline const char* tubeFamilyTag(TubeFamily f) { return f == TubeFamily::Fresh ? "eh" : "rsd"; }

} // namespace torvik
