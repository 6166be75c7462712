// Discrete convolution of excess rainfall with unit-hydrograph ordinates, shared by the
// synthetic unit hydrographs that keep their whole volume.
//
// Rainfall in inches per step, ordinates in cfs per inch of excess (ordinate j is the flow at
// the end of step j after the excess fell), discharge in cfs: Q[i + j] += U[j] * P[i], each Q
// element receiving its terms in ascending i, so the sums are reproducible to the last bit.
#pragma once

#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

// Z + N - 1 values for Z rainfall values and N >= 1 ordinates (Z zeros when N is 0). Dry steps
// add nothing; a NaN rainfall propagates. Fails with "capacity overflow" (internal) when the
// result would exceed the largest allocation; `interrupt` is asked every kInterruptInterval
// multiply-adds.
Result<std::vector<double>> convolve_excess(const std::vector<double>& rainfall,
                                            const std::vector<double>& ordinates,
                                            InterruptCheck interrupt);

}  // namespace vesparil
