// The basin's network: every element's downstream index, its upstream elements, and one
// upstream-to-downstream order, checked and computed once per run or batch.
#pragma once

#include <cstddef>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "core/result.hpp"

namespace vesparil {

inline constexpr std::size_t kNoElement = static_cast<std::size_t>(-1);

struct Network {
    std::vector<std::size_t> downstream;             // kNoElement for the outlet
    std::vector<std::vector<std::size_t>> upstream;  // in the order the elements were added
    std::vector<std::size_t> order;                  // every element after all of its upstream
    std::size_t outlet = kNoElement;
};

// Checks, in this order, with the first failure as a ValueError naming the element: an empty
// basin, a duplicate name, an unknown downstream name, a sub-basin or source given an inflow, a
// cycle, a reach, reservoir or junction without inflow, and a count of outlets other than one.
Result<Network> build_network(const BasinModel& model);

// Index of the element called `name`, or kNoElement.
std::size_t find_element(const BasinModel& model, std::string_view name);

}  // namespace vesparil
