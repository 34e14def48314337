#include "tools/modelbuilder/Pca.h"

#include <Eigen/Eigenvalues>

namespace torvik::builder {

Eigen::MatrixXd principalAxes(const Eigen::MatrixXd& points) {
    const Eigen::RowVectorXd mean = points.colwise().mean();
    const Eigen::MatrixXd centred = points.rowwise() - mean;
    // Scale each coordinate first so volts of very different size weigh alike.
    Eigen::VectorXd scale = centred.cwiseAbs().colwise().maxCoeff().transpose();
    for (Eigen::Index k = 0; k < scale.size(); ++k)
        if (scale[k] <= 0.0) scale[k] = 1.0;
    const Eigen::MatrixXd normalised = centred * scale.cwiseInverse().asDiagonal();
    const Eigen::MatrixXd covariance = normalised.transpose() * normalised / double(points.rows());
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(covariance);
    const Eigen::Index n = covariance.rows();
    Eigen::MatrixXd axes(n, n);
    for (Eigen::Index r = 0; r < n; ++r) {
        // Back to volts: feature = axis . (c / scale).
        Eigen::VectorXd axis = solver.eigenvectors().col(n - 1 - r).cwiseQuotient(scale);
        axis /= axis.norm();
        Eigen::Index big = 0;
        axis.cwiseAbs().maxCoeff(&big);
        if (axis[big] < 0) axis = -axis;
        axes.row(r) = axis.transpose();
    }
    return axes;
}

} // namespace torvik::builder
