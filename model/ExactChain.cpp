#include "model/ExactChain.h"

#include <algorithm>

namespace torvik {

void ExactChain::setTubeFamily(TubeFamily family) {
    b1.setTubeFamily(family);
    b2.setTubeFamily(family);
    b3.setTubeFamily(family);
    b4.setTubeFamily(family);
}

void ExactChain::setSampleRate(double fs) {
    b1.setRunningRate(fs);
    b2.setRunningRate(fs);
    b3.setRunningRate(fs);
    b4.setRunningRate(fs);
}

void ExactChain::setGainPosition(unsigned k) {
    k = std::min(k, GainPot::kPositions - 1);
    b1.setPosition(k);
    b2.setPosition(k);
}

void ExactChain::setTonePosition(unsigned t) { b4.setPosition(std::min(t, TonePots::kPositions - 1)); }

ChainRestingPoint ExactChain::solveRestingPoint() {
    ChainRestingPoint rp;
    NewtonResult r;
    rp.b1 = b1.solveOperatingPoint(0.0, &r);
    rp.converged = rp.converged && r.converged;
    rp.b2 = b2.solveOperatingPoint(rp.b1.y, &r);
    rp.converged = rp.converged && r.converged;
    rp.b3 = b3.solveOperatingPoint(rp.b2.y, &r);
    rp.converged = rp.converged && r.converged;
    rp.b4 = b4.solveOperatingPoint(rp.b3.y, &r);
    rp.converged = rp.converged && r.converged;
    return rp;
}

ChainRestingPoint ExactChain::rest() {
    const ChainRestingPoint rp = solveRestingPoint();
    b1.rest(rp.b1, 0.0);
    b2.rest(rp.b2, rp.b1.y);
    b3.rest(rp.b3, rp.b2.y);
    b4.rest(rp.b4, rp.b3.y);
    return rp;
}

double ExactChain::processSample(double in) {
    b1.u[0] = in;
    b1.step();
    b2.u[0] = b1.y[0];
    b2.step();
    b3.u[0] = b2.y[0];
    b3.step();
    b4.u[0] = b3.y[0];
    b4.step();
    return b4.y[0];
}

NewtonStats ExactChain::stats() const {
    NewtonStats s = b1.stats;
    s.merge(b2.stats);
    s.merge(b3.stats);
    s.merge(b4.stats);
    return s;
}

} // namespace torvik
