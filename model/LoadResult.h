#pragma once

#include <string>

namespace torvik {

// Outcome of loading a model data file into a block. A refused file leaves the block as it was.
struct LoadResult {
    bool ok = false;
    std::string message;  // why the file was refused; empty when it was taken

    explicit operator bool() const { return ok; }
    static LoadResult accepted() { return {true, {}}; }
    static LoadResult refused(std::string why) { return {false, std::move(why)}; }
};

} // namespace torvik
