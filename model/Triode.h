#pragma once

#include "model/TubeFamily.h"

#include <cmath>

namespace torvik {

// 12AX7 device law: cathode current Ik = G·(softplus(C·t)/C)^γ with t = Vgk + Vpk/μ, and grid
// current Ig = Gg·(softplus(Cg·Vgk)/Cg)^ξ + Ig0.
//
// `evaluate` is the law as the running system states it: ln(1 + exp(z)) taken literally and
// backward-difference derivatives over 0.5 mV. `evaluateCareful` is the same law in a form that
// neither underflows to exactly zero nor overflows, with analytic derivatives; the offline
// (Newton) solves use it.
template <int A, int B>
struct Triode {
    double G = 0.002242;
    double C = 3.4;
    double mu = 103.2;
    double Cinv = 1.0 / 3.4;
    double muInv = 1.0 / 103.2;
    double gamma = 1.26;
    double Gg = 6.177e-4;
    double Cg = 9.901;
    double xi = 1.314;
    double Ig0 = 0.0;
    double Cginv = 1.0 / 9.901;

    double Vgk = 0.0, Vpk = 0.0;
    double Ig = 0.0, Ik = 0.0;
    double dIg = 0.0, dIkg = 0.0, dIkp = 0.0;

    // Aged tubes: reduced emission. Perveance 28 % lower and amplification factor 4 % lower than
    // a fresh valve, the grid diode unchanged (it is set by the geometry, not the cathode coating).
    void setFamily(TubeFamily family) {
        const Triode fresh;
        *this = fresh;
        if (family == TubeFamily::Aged) {
            G = fresh.G * 0.72;
            mu = fresh.mu * 0.96;
            muInv = 1.0 / mu;
        }
    }

    double gridLaw(double vgk) const { return Gg * std::pow(Cginv * std::log(1.0 + std::exp(Cg * vgk)), xi) + Ig0; }
    double cathodeLaw(double t) const { return G * std::pow(Cinv * std::log(1.0 + std::exp(C * t)), gamma); }

    void evaluate(double vgk, double vpk) {
        Vgk = vgk;
        Vpk = vpk;
        Ig = gridLaw(vgk);
        dIg = (Ig - gridLaw(vgk - 0.0005)) * 2000.0;
        const double t = vgk + muInv * vpk;
        Ik = cathodeLaw(t);
        dIkg = (Ik - cathodeLaw(t - 0.0005)) * 2000.0;
        dIkp = (Ik - cathodeLaw(vgk + muInv * (vpk - 0.0005))) * 2000.0;
    }

    static double softplus(double z) { return z > 0.0 ? z + std::log1p(std::exp(-z)) : std::log1p(std::exp(z)); }
    static double logistic(double z) {
        if (z >= 0.0) return 1.0 / (1.0 + std::exp(-z));
        const double e = std::exp(z);
        return e / (1.0 + e);
    }

    void evaluateCareful(double vgk, double vpk) {
        Vgk = vgk;
        Vpk = vpk;
        const double zg = Cg * vgk;
        const double sg = Cginv * softplus(zg);
        Ig = Gg * std::pow(sg, xi) + Ig0;
        dIg = Gg * xi * std::pow(sg, xi - 1.0) * logistic(zg);
        const double zk = C * (vgk + muInv * vpk);
        const double sk = Cinv * softplus(zk);
        Ik = G * std::pow(sk, gamma);
        dIkg = G * gamma * std::pow(sk, gamma - 1.0) * logistic(zk);
        dIkp = dIkg * muInv;
    }
};

} // namespace torvik
