// Minimum and maximum of two doubles that treat NaN as "no value".
//
// When exactly one operand is NaN the other one is returned, so a single missing value does not
// poison a running state (a NaN deficit is healed by the next clamp against its maximum); the
// result is NaN only when both operands are. Between two numbers that compare equal (including
// +0.0 and -0.0) the first operand is returned, which keeps the choice deterministic.
#pragma once

namespace vesparil {

inline double nan_min(double a, double b) {
    if (a != a) return b;
    if (b != b) return a;
    return b < a ? b : a;
}

inline double nan_max(double a, double b) {
    if (a != a) return b;
    if (b != b) return a;
    return b > a ? b : a;
}

}  // namespace vesparil
