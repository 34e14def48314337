#pragma once

#include <Eigen/Core>

namespace torvik::builder {

// Principal axes of a point cloud (rows of `points`): the rows of the result are unit vectors,
// in order of decreasing variance, signs fixed so the largest component of each is positive.
Eigen::MatrixXd principalAxes(const Eigen::MatrixXd& points);

} // namespace torvik::builder
