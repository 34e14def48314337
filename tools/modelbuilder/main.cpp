// torvik-modelbuilder: derives the model data set (every file of both tube families) from the
// circuit and the triode law, trained against the exact solve of each block.
//   torvik-modelbuilder --out DIR [--quick] [--family fresh|aged|both] [--threads N] [--report DIR]
#include "model/ModelFileNames.h"
#include "tools/modelbuilder/ModelSetBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

using namespace torvik;
using namespace torvik::builder;

int main(int argc, char** argv) {
    BuildSettings s;
    std::string family = "both";
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const bool hasValue = k + 1 < argc;
        if (a == "--quick") s.quick = true;
        else if (a == "--out" && hasValue) s.outputFolder = argv[++k];
        else if (a == "--report" && hasValue) s.reportFolder = argv[++k];
        else if (a == "--family" && hasValue) family = argv[++k];
        else if (a == "--threads" && hasValue) s.threads = std::max(1, std::atoi(argv[++k]));
        else {
            std::fprintf(stderr, "usage: torvik-modelbuilder --out DIR [--quick] [--family fresh|aged|both] "
                                 "[--threads N] [--report DIR]\n");
            return 2;
        }
    }
    if (s.outputFolder.empty()) {
        std::fprintf(stderr, "torvik-modelbuilder: --out DIR is required\n");
        return 2;
    }
    if (family == "fresh") s.families = {TubeFamily::Fresh};
    else if (family == "aged") s.families = {TubeFamily::Aged};
    else if (family != "both") {
        std::fprintf(stderr, "torvik-modelbuilder: --family must be fresh, aged or both\n");
        return 2;
    }
    if (s.quick) {
        s.rates = RateSet::quick();
        if (family == "both") s.families = {TubeFamily::Fresh};
    }
    mkdir(s.outputFolder.c_str(), 0755);
    if (!s.reportFolder.empty()) mkdir(s.reportFolder.c_str(), 0755);

    for (TubeFamily f : s.families) {
        FamilyReport report;
        if (!buildFamily(f, s, report)) return 1;
        std::fprintf(stderr, "%s: %zu files in %.1f s\n", tubeFamilyTag(f), report.files.size(), report.seconds);
        if (!s.reportFolder.empty())
            writeReport(s.reportFolder + "/networks-" + tubeFamilyTag(f) + ".txt", report);
    }
    return 0;
}
