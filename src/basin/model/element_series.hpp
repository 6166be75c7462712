// An element's inner series, as a single run keeps them.
#pragma once

#include <string>
#include <vector>

namespace vesparil {

// An element's inner series on the basin's axis, kept by a single run when asked: a sub-basin's
// "excess" and "loss" (inches per step, incremental), "direct" and "baseflow" (cfs); a
// reservoir's "storage" (ft3) and "elevation" (ft) and one release per outlet, named by it (cfs).
struct NamedSeries {
    std::string name;
    std::vector<double> values;
    bool incremental = false;
};
using ElementDetails = std::vector<NamedSeries>;

}  // namespace vesparil
