// The moments of a cell made of weighted records: records that each stand for
// a group of facts and carry the group's count, the sums of the first to
// fourth powers of its values, its minimum and maximum (as a database returns
// them when it does the first aggregation). Sum, count, average, minimum,
// maximum, variance, standard deviation, skewness and kurtosis follow from
// these exactly; median, average deviation and custom functions do not.
//
// Numerically: raw power sums cancel badly when the mean is large beside the
// spread (Σx² − (Σx)²/n loses every digit the two terms share). So a group's
// raw sums are turned into moments around the group's own mean at once, where
// the cancellation is limited to that one group's values, and groups are then
// combined with the pairwise update of Chan, Golub and LeVeque, extended to
// the third and fourth moments by Pébay (2008): for groups A and B with
// δ = mean_B − mean_A and n = n_A + n_B,
//   M2 = M2_A + M2_B + δ²·n_A·n_B/n
//   M3 = M3_A + M3_B + δ³·n_A·n_B·(n_A − n_B)/n² + 3δ·(n_A·M2_B − n_B·M2_A)/n
//   M4 = M4_A + M4_B + δ⁴·n_A·n_B·(n_A² − n_A·n_B + n_B²)/n³
//        + 6δ²·(n_A²·M2_B + n_B²·M2_A)/n² + 4δ·(n_A·M3_B − n_B·M3_A)/n
// which only ever adds moments that are already centred. The results then
// read as the second pass's: variance M2/(n − 1), skewness M3/(n·σ³),
// kurtosis M4/(n·σ⁴) − 3.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/aggregate/aggregate.h"

namespace qd {

struct TPowerSums {
  double N = 0;     //!< facts
  double Mean = 0;  //!< their mean
  double M2 = 0, M3 = 0, M4 = 0;  //!< sums of the 2nd–4th powers of the deviations from Mean
  double Min = std::numeric_limits<double>::infinity();
  double Max = -std::numeric_limits<double>::infinity();

  //! One group from its count and raw power sums Σx, Σx², Σx³, Σx⁴.
  static TPowerSums FromRaw(double n, double s1, double s2, double s3, double s4, double min,
                            double max) {
    TPowerSums p;
    if (n <= 0) return p;
    const double m = s1 / n;
    p.N = n;
    p.Mean = m;
    p.Min = min;
    p.Max = max;
    // A group of equal values (a single fact above all) has no deviations;
    // its raw sums would only leave rounding noise.
    if (min == max) {
      p.Mean = min;
      return p;
    }
    // Σ(x−m)^k expanded; n·m^k is written as m^(k−1)·Σx.
    p.M2 = std::max(0.0, s2 - m * s1);
    p.M3 = s3 - 3 * m * s2 + 2 * m * m * s1;
    p.M4 = std::max(0.0, s4 - 4 * m * s3 + 6 * m * m * s2 - 3 * m * m * m * s1);
    return p;
  }

  //! Adds the facts of another group or cell.
  void Merge(const TPowerSums& b) {
    if (b.N <= 0) return;
    if (N <= 0) {
      *this = b;
      return;
    }
    const double na = N, nb = b.N, n = na + nb;
    const double d = b.Mean - Mean, d2 = d * d;
    const double m2 = M2 + b.M2 + d2 * na * nb / n;
    const double m3 = M3 + b.M3 + d2 * d * na * nb * (na - nb) / (n * n) +
                      3 * d * (na * b.M2 - nb * M2) / n;
    const double m4 = M4 + b.M4 + d2 * d2 * na * nb * (na * na - na * nb + nb * nb) / (n * n * n) +
                      6 * d2 * (na * na * b.M2 + nb * nb * M2) / (n * n) +
                      4 * d * (na * b.M3 - nb * M3) / n;
    Mean += d * nb / n;
    N = n;
    M2 = m2;
    M3 = m3;
    M4 = m4;
    Min = std::min(Min, b.Min);
    Max = std::max(Max, b.Max);
  }

  double Sum() const { return Mean * N; }

  //! Minimum, maximum, variance, skewness and kurtosis as the second pass
  //! writes them; median and average deviation stay 0.
  void Finish(TTwoPassRecord& r) const {
    if (N <= 0) return;
    r.Minimum = Min;
    r.Maximum = Max;
    if (N < 2) return;
    const double variance = std::max(0.0, M2 / (N - 1));
    r.Variance = variance;
    if (variance != 0) {
      r.Skewness = M3 / (N * variance * std::sqrt(variance));
      r.Kurtosis = M4 / (N * variance * variance) - 3;
    }
  }
};

}  // namespace qd
