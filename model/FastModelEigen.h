#pragma once

#include "model/LoadResult.h"
#include "model/ModelFileNames.h"
#include "model/OperatingPoint.h"
#include "model/PotKind.h"
#include "model/SolverTraits.h"
#include "modeldata/ModelFileChecks.h"
#include "modeldata/ModelFileF.h"
#include "modeldata/NetworkSet.h"
#include "modeldata/NeuralNet.h"
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

    FastModelEigen() : file_(std::make_unique<File>()) {}

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
        std::vector<NeuralNet> nets = buildNetworks(*candidate, outputMask());
        if (nets.empty()) return LoadResult::refused(path + ": no usable networks");
        file_ = std::move(candidate);
        nets_ = std::move(nets);
        networksLoaded_ = true;
        runSelected_ = false;
        return LoadResult::accepted();
    }

    void setSampleRate(double r) {
        if (r == this->sampleRate()) return;  // a stored NaN compares unequal
        this->setRunningRate(r);
        updatePortShift();
        rateChanged_ = true;
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
    bool rateChanged() const { return rateChanged_; }
    // Loaded and given a position since the last load: the block can step.
    bool isReady() const { return runSelected_; }
    unsigned position() const { return position_; }
    unsigned positionCount() const { return recordCount(); }
    const Point& heldOperatingPoint() const { return held_; }
    const File& modelFile() const { return *file_; }
    const std::vector<NeuralNet>& networks() const { return nets_; }
    const NeuralNet* lastUsedNetwork() const { return lastUsed_; }
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

    // A file shared by every rate answers for the port impedances K₀ of kSharedFileRate: with
    // v = p + K·i = (p + (K − K₀)·i) + K₀·i, its network wants p + (K − K₀)·i, whose i is the
    // answer itself. The currents of the sample before start a short fixed-point iteration.
    static constexpr bool kSharedAcrossRates = Model::kPot != PotKind::None;
    static constexpr int kPortShiftPasses = 3;

    void updatePortShift() {
        if constexpr (kSharedAcrossRates) {
            const double rate = this->sampleRate();
            shifting_ = rate != kSharedFileRate && std::isfinite(rate);
            portShiftPasses_ = rate < 2.0 * kSharedFileRate ? 3 : 2;
            if (!shifting_) {
                portShift_.setZero();
                return;
            }
            this->setRunningRate(kSharedFileRate);
            portShift_ = -this->K;
            this->setRunningRate(rate);
            portShift_ += this->K;
        }
    }

    void evaluateNetworks(const double* inputs, double* currents) {
        if constexpr (kPca) {
            projectFeatures(positionData_, inputs, features_);
            if constexpr (G == 1) evaluateBipolar(nets_[run_.start], features_, currents);
            else selectNetwork(&nets_[run_.start], run_.length, lastUsed_, features_, currents);
        } else {
            evaluateUnipolar(nets_[run_.start], inputs, currents);
        }
    }

    void computeCurrents() {
        double* currents = this->i.data();
        if (!kSharedAcrossRates || !shifting_) {
            evaluateNetworks(this->p.data(), currents);
            return;
        }
        for (int pass = 0; pass < portShiftPasses_; ++pass) {
            for (int r = 0; r < V; ++r) {
                double shift = 0.0;
                for (int c = 0; c < I; ++c) shift += portShift_(r, c) * currents[c];
                shiftedP_[r] = this->p[r] + shift;
            }
            evaluateNetworks(shiftedP_, currents);
        }
    }

    void changePosition(unsigned k) {
        if (!networksLoaded_) return;
        k = std::min(k, recordCount() - 1);
        if constexpr (kPca) selectPosition(positionData_, *file_, k);
        else stdOutputMask_[0] = stdOutputMask_[1] = 1;
        positionSelected_ = true;
        position_ = k;
        run_ = runOfPosition(*file_, k);
        lastUsed_ = &nets_[run_.start];
        runSelected_ = true;
        this->setPotSections(k);
        this->rebuildMatrices();
        updatePortShift();
        applyOperatingPoint();
    }

    void applyOperatingPoint() {
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
        if (rateChanged_) {
            rateChanged_ = false;
            restoreHeldPoint();
        } else {
            const uint8_t* mask = outputMask();
            for (int j = 0; j < I; ++j)
                if (mask[j] != 1) this->i[j] = held_.i[j];
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

    std::unique_ptr<File> file_;
    std::vector<NeuralNet> nets_;
    PositionData positionData_;
    uint8_t stdOutputMask_[2] = {1, 1};
    NetworkRun run_;
    NeuralNet* lastUsed_ = nullptr;
    double features_[4] = {};
    Eigen::Matrix<double, V, I> portShift_ = Eigen::Matrix<double, V, I>::Zero();
    double shiftedP_[V] = {};
    bool shifting_ = false;
    int portShiftPasses_ = 3;
    Point held_;
    unsigned position_ = 0;
    bool networksLoaded_ = false;
    bool positionSelected_ = false;
    bool rateChanged_ = true;
    bool runSelected_ = false;
    std::atomic<long> pendingPosition_{-1};
};

} // namespace torvik
