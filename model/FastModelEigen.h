#pragma once

#include "model/LoadResult.h"
#include "model/NodalMatrices.h"
#include "model/ModelFileNames.h"
#include "model/OperatingPoint.h"
#include "model/PotKind.h"
#include "model/SolverTraits.h"
#include "modeldata/ModelFileChecks.h"
#include "modeldata/ModelFileF.h"
#include "modeldata/NetworkSet.h"
#include "modeldata/NeuralNet.h"
#include "modeldata/PackedNet.h"
#include "modeldata/PCAModelFileF.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace torvik {

// A block whose port currents come from the neural networks of its model data file.
//   F = 1: "pca" file, projected features, bipolar networks, masked outputs (blocks 1 to 3);
//   F = 0: "std" file, the two pre-voltages as inputs, unipolar network (block 4).
//   G = 1: always the first network of the selected position; G = 0: chosen per sample by box.
template <class Model, class ST, int F, int G, class Tag>
class FastModelEigen : public Model {
public:
    static constexpr int S = ST::S, U = ST::U, V = ST::V, I = ST::I;
    static constexpr bool kPca = F == 1;
    using File = std::conditional_t<kPca, PCAModelFileF, ModelFileF>;
    using Point = OperatingPoint<V, I, S>;
    static constexpr unsigned kTableEntryLength = 1 + Point::kTableValues;
    // Beyond this an input is no longer a voltage this circuit can meet; clamping it keeps every
    // product finite.
    static constexpr double kMaxInputVolts = 1e6;

    static_assert(!kPca || V == 4, "projected features are formed from four candidate values");
    static_assert(kPca || (V == 2 && I == 2), "the plain file's networks take two inputs and give two outputs");

    FastModelEigen() : file_(std::make_shared<File>()) {}

    // Reads a model data file and builds its networks. A file that cannot be opened, is cut
    // short or does not fit this block is refused and the block keeps what it had. After a
    // successful load a position must be applied before the next step.
    LoadResult loadModel(const std::string& path) {
        auto candidate = std::make_unique<File>();
        if (!candidate->openForReading(path)) return LoadResult::refused("cannot open " + path);
        candidate->readAll();
        candidate->close();
        std::string problem;
        if constexpr (kPca) problem = checkPcaModelFile(*candidate, kTableEntryLength);
        else problem = checkStdModelFile(*candidate, kTableEntryLength);
        if (!problem.empty()) return LoadResult::refused(path + ": " + problem);
        std::shared_ptr<const PackedNetworkSet> nets = PackedNetworkSet::pack(*candidate, buildNetworks(*candidate, outputMask()));
        if (nets->empty()) return LoadResult::refused(path + ": no usable networks");
        adopt(std::shared_ptr<const File>(std::move(candidate)), std::move(nets));
        return LoadResult::accepted();
    }

    // Takes the model another block of the same kind loaded (read-only, so both keep one copy).
    // As after a load, a position must be applied before the next step.
    void shareModelOf(const FastModelEigen& other) {
        if (other.networksLoaded_) adopt(other.file_, other.nets_);
    }

    void setSampleRate(double r) {
        if (r == this->sampleRate()) return;  // a stored NaN compares unequal
        this->setRunningRate(r);
        updatePortShift();
        restorePending_ = true;
        if (positionSelected_) applyOperatingPoint();
    }

    void setGainPosition(unsigned k) {
        static_assert(Model::kPot == PotKind::Gain, "only the gain blocks have a gain pot");
        changePosition(k);
    }
    void applyPosition() {
        static_assert(Model::kPot == PotKind::None, "only the block without a pot takes position 0");
        changePosition(0);
    }
    void setTonePosition(unsigned t) {
        static_assert(Model::kPot == PotKind::Tone, "only the tone block has a tone index");
        changePosition(t);
    }

    // Tone changes arrive while audio runs. The request is handed over without locking and
    // applied at the start of the next step, on the audio thread; applying it allocates nothing.
    void requestTonePosition(unsigned t) {
        static_assert(Model::kPot == PotKind::Tone, "only the tone block has a tone index");
        pendingPosition_.store(static_cast<long>(t), std::memory_order_release);
    }

    void step() {
        takePendingPosition();
        if (!runSelected_) {
            this->y[0] = 0.0;
            return;
        }
        guardInput();
        this->computePreVoltages();
        computeCurrents();
        this->advanceStateAndOutput();
        guardState();
    }

    bool networksLoaded() const { return networksLoaded_; }
    bool positionSelected() const { return positionSelected_; }
    // The state goes to the held operating point when the next position is applied.
    bool restorePending() const { return restorePending_; }
    // Loaded and given a position since the last load: the block can step.
    bool isReady() const { return runSelected_; }
    unsigned position() const { return position_; }
    unsigned positionCount() const { return recordCount(); }
    const Point& heldOperatingPoint() const { return held_; }
    const File& modelFile() const { return *file_; }
    std::size_t networkCount() const { return nets_->size(); }
    bool sharesModelWith(const FastModelEigen& other) const { return nets_ == other.nets_; }
    unsigned lastUsedNetwork() const { return lastUsed_; }
    const PositionData& positionData() const { return positionData_; }

protected:
    void takePendingPosition() {
        if constexpr (Model::kPot == PotKind::Tone) {
            if (pendingPosition_.load(std::memory_order_relaxed) >= 0) {
                const long t = pendingPosition_.exchange(-1, std::memory_order_acquire);
                if (t >= 0) changePosition(static_cast<unsigned>(t));
            }
        }
    }

    void guardInput() {
        double& u0 = this->u[0];
        if (std::isnan(u0)) u0 = 0.0;
        else if (std::abs(u0) > kMaxInputVolts) u0 = std::copysign(kMaxInputVolts, u0);
    }

    // A state that stopped being finite would stay so for ever: restart from the held point.
    void guardState() {
        double check = this->y[0];
        for (int k = 0; k < S; ++k) check += this->x[k];
        if (std::isfinite(check)) return;
        restoreHeldPoint();
        this->computeOutput();
        if (!std::isfinite(this->y[0])) this->y[0] = 0.0;
    }

    // New networks rest elsewhere (another tube family, another rate's file): the state restarts
    // from their own resting point once a position is applied, or it would settle out as a thump.
    void adopt(std::shared_ptr<const File> file, std::shared_ptr<const PackedNetworkSet> nets) {
        file_ = std::move(file);
        nets_ = std::move(nets);
        networksLoaded_ = true;
        runSelected_ = false;
        restorePending_ = true;
    }

    // A file shared by every rate answers for the port impedances K0 of kSharedFileRate: with
    // v = p + K i = (p + (K - K0) i) + K0 i, its network N wants p + (K - K0) i, whose i is the
    // answer itself. One Newton step on i = N(p + dK i) from the currents of the sample before,
    // with the network's own derivative, solves it: (1 - J dK) i = N(x0) - J dK i_prev.
    static constexpr bool kSharedAcrossRates = Model::kPot != PotKind::None;

    void updatePortShift() {
        if constexpr (kSharedAcrossRates) {
            const double rate = this->sampleRate();
            shifting_ = rate != kSharedFileRate && std::isfinite(rate);
            if (!shifting_) return;
            NodalMatrices shared;
            buildNodalMatrices(this->netlist(), kSharedFileRate, shared);
            for (int r = 0; r < V; ++r)
                for (int c = 0; c < I; ++c) shift4x4_[r * 4 + c] = this->K(r, c) - shared.K(r, c);
            updateShiftWeights();
        }
    }

    void updateShiftWeights() {
        if (shifting_ && runSelected_) fillCurrentShiftWeights((*nets_)[run_.start], shift4x4_, shiftWeights_.data());
    }

    const PackedNet& chooseNetwork(const double* inputs) {
        if constexpr (kPca && G == 0) {
            if (run_.length > 1) {
                projectFeatures(positionData_, inputs, features_);
                const PackedNetworkSet& nets = *nets_;
                for (unsigned r = run_.start; r < run_.start + run_.length; ++r)
                    if (nets[r].boxContains(features_)) {
                        lastUsed_ = r;
                        break;
                    }
            }
            return (*nets_)[lastUsed_];
        } else {
            return (*nets_)[run_.start];
        }
    }

    void computeCurrents() {
        double* currents = this->i.data();
        double x[4] = {};
        for (int r = 0; r < V; ++r) x[r] = this->p[r];
        if (!kSharedAcrossRates || !shifting_) {
            double slots[4] = {};
            for (int c = 0; c < I; ++c) slots[c] = currents[c];
            kernel_->evaluate(chooseNetwork(x), x, slots);
            for (int c = 0; c < I; ++c) currents[c] = slots[c];
            return;
        }
        double previous[4] = {}, slots[4] = {};
        for (int c = 0; c < I; ++c) previous[c] = slots[c] = currents[c];
        for (int r = 0; r < V; ++r)
            for (int c = 0; c < I; ++c) x[r] += shift4x4_[r * 4 + c] * previous[c];
        const PackedNet& net = (*nets_)[run_.start];
        double jk[16];
        kernel_->evaluateWithCurrentJacobian(net, x, slots, shiftWeights_.data(), jk);
        // (1 - jk) y = n0 - jk y_prev over the produced currents; the others stay where they are.
        const int q = static_cast<int>(net.outputs);
        double a[4][5];
        for (int t = 0; t < q; ++t) {
            double rhs = slots[net.slot[t]];
            for (int u = 0; u < q; ++u) {
                a[t][u] = (t == u ? 1.0 : 0.0) - jk[4 * t + u];
                rhs -= jk[4 * t + u] * previous[net.slot[u]];
            }
            a[t][q] = rhs;
        }
        double y[4];
        if (!solveSmall(a, q, y)) {
            for (int c = 0; c < I; ++c) currents[c] = slots[c];
            return;
        }
        for (int t = 0; t < q; ++t) currents[net.slot[t]] = y[t];
    }

    // Solves the augmented q x (q + 1) system by Cramer's rule (one division) up to q = 3, by
    // elimination beyond; false when it is near singular (the correction is a small change, so
    // the system is near the identity).
    static bool solveSmall(double (&a)[4][5], int q, double* y) {
        switch (q) {
        case 1: {
            if (!(std::abs(a[0][0]) > 1e-3)) return false;
            y[0] = a[0][1] / a[0][0];
            return true;
        }
        case 2: {
            const double det = a[0][0] * a[1][1] - a[0][1] * a[1][0];
            if (!(std::abs(det) > 1e-3)) return false;
            const double inverse = 1.0 / det;
            y[0] = (a[0][2] * a[1][1] - a[0][1] * a[1][2]) * inverse;
            y[1] = (a[0][0] * a[1][2] - a[1][0] * a[0][2]) * inverse;
            return true;
        }
        case 3: {
            const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
            const double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
            const double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
            const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
            if (!(std::abs(det) > 1e-3)) return false;
            const double inverse = 1.0 / det;
            const double r0 = a[0][3], r1 = a[1][3], r2 = a[2][3];
            y[0] = (r0 * c00 + r1 * (a[0][2] * a[2][1] - a[0][1] * a[2][2]) + r2 * (a[0][1] * a[1][2] - a[0][2] * a[1][1])) * inverse;
            y[1] = (r0 * c01 + r1 * (a[0][0] * a[2][2] - a[0][2] * a[2][0]) + r2 * (a[0][2] * a[1][0] - a[0][0] * a[1][2])) * inverse;
            y[2] = (r0 * c02 + r1 * (a[0][1] * a[2][0] - a[0][0] * a[2][1]) + r2 * (a[0][0] * a[1][1] - a[0][1] * a[1][0])) * inverse;
            return true;
        }
        default:
            break;
        }
        for (int col = 0; col < q; ++col) {
            if (!(std::abs(a[col][col]) > 1e-3)) return false;
            const double inverse = 1.0 / a[col][col];
            for (int r = col + 1; r < q; ++r) {
                const double f = a[r][col] * inverse;
                for (int c = col + 1; c <= q; ++c) a[r][c] -= f * a[col][c];
            }
        }
        for (int r = q - 1; r >= 0; --r) {
            double v = a[r][q];
            for (int c = r + 1; c < q; ++c) v -= a[r][c] * y[c];
            y[r] = v / a[r][r];
        }
        return true;
    }

    void changePosition(unsigned k) {
        if (!networksLoaded_) return;
        k = std::min(k, recordCount() - 1);
        if constexpr (kPca) selectPosition(positionData_, *file_, k);
        else stdOutputMask_[0] = stdOutputMask_[1] = 1;
        positionSelected_ = true;
        position_ = k;
        run_ = runOfPosition(*file_, k);
        lastUsed_ = run_.start;
        runSelected_ = true;
        this->setPotSections(k);
        this->rebuildMatrices();
        updatePortShift();
        applyOperatingPoint();
    }

    // Takes the resting point of the present position and rate. After a load or a rate change the
    // state restarts there. On a position change (a pot turned while audio runs) the state keeps
    // its distance from rest: it moves by the change of resting point, so the signal carries on and
    // silence stays silent (each position's networks rest a little apart).
    void applyOperatingPoint() {
        const Point previous = held_;
        const std::vector<double>& table = file_->groups[0].positions[position_].table;
        if (!table.empty()) {
            const auto entries = static_cast<std::size_t>(table[0]);
            for (std::size_t e = 0; e < entries; ++e) {
                const double* entry = table.data() + 1 + e * kTableEntryLength;
                if (entry[0] != this->sampleRate()) continue;
                const double* v = entry + 1;
                std::copy(v, v + V, held_.p.begin());
                std::copy(v + V, v + V + I, held_.i.begin());
                std::copy(v + V + I, v + V + I + S, held_.x.begin());
                break;
            }
        }
        if (restorePending_) {
            restorePending_ = false;
            restoreHeldPoint();
        } else {
            for (int k = 0; k < S; ++k) this->x[k] += held_.x[k] - previous.x[k];
            const uint8_t* mask = outputMask();
            for (int j = 0; j < I; ++j) this->i[j] = mask[j] == 1 ? this->i[j] + (held_.i[j] - previous.i[j]) : held_.i[j];
        }
    }

    void restoreHeldPoint() {
        for (int k = 0; k < V; ++k) this->p[k] = held_.p[k];
        for (int k = 0; k < I; ++k) this->i[k] = held_.i[k];
        for (int k = 0; k < S; ++k) this->x[k] = held_.x[k];
    }

    unsigned recordCount() const {
        return file_->groups.empty() ? 0u : static_cast<unsigned>(file_->groups[0].positions.size());
    }

    const uint8_t* outputMask() const {
        if constexpr (kPca) return positionData_.outputMask;
        else return stdOutputMask_;
    }

    std::shared_ptr<const File> file_;
    std::shared_ptr<const PackedNetworkSet> nets_ = std::make_shared<PackedNetworkSet>();
    const PackedNetKernel* kernel_ = &activePackedNetKernel();
    double shift4x4_[16] = {};  // K - K0, row-major, padded with zeros to 4 x 4
    std::vector<double> shiftWeights_ = std::vector<double>(64 * 16);
    PositionData positionData_;
    uint8_t stdOutputMask_[2] = {1, 1};
    NetworkRun run_;
    unsigned lastUsed_ = 0;
    double features_[4] = {};
    bool shifting_ = false;
    Point held_;
    unsigned position_ = 0;
    bool networksLoaded_ = false;
    bool positionSelected_ = false;
    bool restorePending_ = true;  // after a rate change or a load
    bool runSelected_ = false;
    std::atomic<long> pendingPosition_{-1};
};

} // namespace torvik
