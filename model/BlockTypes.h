#pragma once

#include "model/Model_TORVIK_b1.h"
#include "model/Model_TORVIK_b2.h"
#include "model/Model_TORVIK_b3.h"
#include "model/Model_TORVIK_b4.h"
#include "model/SolverTraits.h"
#include "model/Triode.h"

namespace torvik {

using Tube = Triode<1, 0>;

using Block1Solver = SolverTraits<4, 2, 4, 4, 1>;
using Block2Solver = SolverTraits<4, 3, 4, 4, 1>;
using Block3Solver = SolverTraits<1, 2, 4, 4, 1>;
using Block4Solver = SolverTraits<3, 2, 2, 2, 1>;

using Block1Circuit = Model_TORVIK_b1<Tube, Tube, Block1Solver, ModelTraits<17, 1, 1, 4>>;
using Block2Circuit = Model_TORVIK_b2<Tube, Tube, Block2Solver, ModelTraits<17, 1, 2, 5>>;
using Block3Circuit = Model_TORVIK_b3<Tube, Tube, Block3Solver, ModelTraits<0, 1, 1, 2>>;
using Block4Circuit = Model_TORVIK_b4<Tube, Block4Solver, ModelTraits<15, 1, 1, 7>>;

} // namespace torvik
