#pragma once

#include "model/TubeFamily.h"
#include "tools/modelbuilder/RateSet.h"
#include "tools/modelbuilder/TrainingPlan.h"

#include <string>
#include <vector>

namespace torvik::builder {

struct BuildSettings {
    std::vector<TubeFamily> families = {TubeFamily::Fresh, TubeFamily::Aged};
    RateSet rates = RateSet::full();
    bool quick = false;
    int threads = 2;
    std::string outputFolder;
    std::string reportFolder;  // text report of every network's error; empty: none
};

struct FamilyReport {
    TubeFamily family = TubeFamily::Fresh;
    std::vector<PositionReport> positions;
    std::vector<std::string> files;
    double seconds = 0.0;
    int unsettledRestingPoints = 0;  // table entries left at the exact circuit's resting point
};

// Derives every model file of one tube family from the circuit and writes it to the output folder.
// Returns false (with a message on standard error) when a file cannot be written or a resting
// point does not converge.
bool buildFamily(TubeFamily family, const BuildSettings& settings, FamilyReport& report);

void writeReport(const std::string& path, const FamilyReport& report);

} // namespace torvik::builder
