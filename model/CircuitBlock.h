#pragma once

#include "model/EigenSolver.h"
#include "model/NodalMatrices.h"
#include "model/Netlist.h"
#include "model/TubeFamily.h"

#include <array>

namespace torvik {

// Where a triode sits among a block's ports. Grid ports are cathode minus grid (Vgk = -v);
// plate ports are plate minus cathode for a gain stage (Vpk = +v) and cathode minus plate for a
// cathode follower (Vpk = -v).
struct TriodePorts {
    int grid = 0;
    int plate = 1;
    double plateSign = 1.0;
};

enum class DeviceLaw { Literal, Careful };

// What all four blocks share beyond the solver: the netlist with its present component values,
// the running rate, the triodes, and the device evaluation at the ports.
template <class ST, class TriodeT, int NT>
class CircuitBlock : public EigenSolver<ST> {
    using Base = EigenSolver<ST>;

public:
    static_assert(ST::V == 2 * NT && ST::I == 2 * NT, "each triode has a grid and a plate port");

    // Port voltages, device currents and Jacobian for the device evaluation interface.
    typename Base::VecP v;
    typename Base::VecI deviceCurrents;
    typename Base::MatJ J;

    std::array<TriodeT, NT> triodes;
    DeviceLaw law = DeviceLaw::Literal;

    double sampleRate() const { return fs_; }
    const Netlist& netlist() const { return net_; }

    void setTubeFamily(TubeFamily family) {
        for (auto& t : triodes) t.setFamily(family);
    }

    // Stores a new running rate and recomputes the matrices for it.
    void setRunningRate(double fs) {
        fs_ = fs;
        rebuildMatrices();
    }

    void rebuildMatrices() {
        NodalMatrices m;
        buildNodalMatrices(net_, fs_, m);
        this->takeMatrices(m);
    }

    void evaluateDevices() override {
        for (int t = 0; t < NT; ++t) {
            const TriodePorts& tp = ports_[t];
            const double vgk = -v[tp.grid], vpk = tp.plateSign * v[tp.plate];
            if (law == DeviceLaw::Careful) triodes[t].evaluateCareful(vgk, vpk);
            else triodes[t].evaluate(vgk, vpk);
        }
    }

    void loadJacobian() override {
        for (int t = 0; t < NT; ++t) {
            const TriodePorts& tp = ports_[t];
            const TriodeT& tr = triodes[t];
            J(tp.grid, tp.grid) = -tr.dIg;
            J(tp.grid, tp.plate) = 0.0;
            J(tp.plate, tp.grid) = -tr.dIkg;
            J(tp.plate, tp.plate) = tp.plateSign * tr.dIkp;
        }
    }

    void loadCurrents() override {
        for (int t = 0; t < NT; ++t) {
            deviceCurrents[ports_[t].grid] = triodes[t].Ig;
            deviceCurrents[ports_[t].plate] = triodes[t].Ik;
        }
    }

protected:
    CircuitBlock(const Netlist& net, const std::array<TriodePorts, NT>& ports, double fs)
        : net_(net), ports_(ports), fs_(fs) {
        v.setZero();
        deviceCurrents.setZero();
        J.setZero();
    }

    Netlist net_;

private:
    std::array<TriodePorts, NT> ports_;
    double fs_;
};

} // namespace torvik
