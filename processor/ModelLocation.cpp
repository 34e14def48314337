#include "processor/ModelLocation.h"

#include "model/ModelFileNames.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace torvik {

namespace {
void anchor() {}

std::string resolved(const char* path) {
    if (path == nullptr || *path == '\0') return {};
    char buffer[PATH_MAX];
    return realpath(path, buffer) != nullptr ? std::string(buffer) : std::string();
}
} // namespace

std::string ownBinaryPath() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&anchor), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
        map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        const std::string path = resolved(map->l_name);
        if (!path.empty()) return path;
    }
    // The executable itself has no name in the loader's list.
    return resolved("/proc/self/exe");
}

std::string defaultModelFolder() {
    const std::string binary = ownBinaryPath();
    return binary.empty() ? std::string() : modelFolderFor(binary);
}

} // namespace torvik
