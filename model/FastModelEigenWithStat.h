#pragma once

#include "model/FastModelEigen.h"
#include "model/RunningStatistics.h"

namespace torvik {

// The tone block with running statistics of the follower's plate current (port 1), which the
// editor reads to make the valves glow.
template <class Model, class ST, int F, int G, class Tag>
class FastModelEigenWithStat : public FastModelEigen<Model, ST, F, G, Tag> {
    using Base = FastModelEigen<Model, ST, F, G, Tag>;

public:
    RunningStatistics statistics;

    void step() {
        this->takePendingPosition();
        if (!this->runSelected_) {
            this->y[0] = 0.0;
            return;
        }
        this->guardInput();
        this->computePreVoltages();
        this->computeCurrents();
        statistics.push(this->i[1]);
        this->advanceStateAndOutput();
        this->guardState();
    }
};

} // namespace torvik
