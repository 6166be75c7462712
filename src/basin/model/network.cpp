// Network checks and ordering. Each element names at most one downstream element, so the
// network is a forest of in-trees; following the downstream links from any element either ends
// at an element without one or comes back to an element already on the walk (a cycle).
#include "basin/model/network.hpp"

#include <string>
#include <unordered_map>

namespace vesparil {

namespace {

std::string quoted(const std::string& name) { return "'" + name + "'"; }

Error element_error(const Element& element, const std::string& message) {
    return Error::value(std::string(kind_word(element)) + " " + quoted(element.name) + ": " +
                        message);
}

bool receives_inflow(const Element& element) {
    return std::holds_alternative<Reach>(element.method) ||
           std::holds_alternative<Reservoir>(element.method) ||
           std::holds_alternative<Junction>(element.method);
}

// The first cycle met when walking down from each element in turn, as "a -> b -> a"; empty
// when there is none. Walks are coloured by their starting element, so the whole search visits
// every element once.
std::string find_cycle(const BasinModel& model, const std::vector<std::size_t>& downstream) {
    const std::size_t count = downstream.size();
    std::vector<std::size_t> walk_of(count, kNoElement);
    for (std::size_t start = 0; start < count; ++start) {
        std::size_t at = start;
        while (at != kNoElement && walk_of[at] == kNoElement) {
            walk_of[at] = start;
            at = downstream[at];
        }
        if (at == kNoElement || walk_of[at] != start) continue;
        std::string cycle = quoted(model.elements[at].name);
        for (std::size_t next = downstream[at];; next = downstream[next]) {
            cycle += " -> " + quoted(model.elements[next].name);
            if (next == at) break;
        }
        return cycle;
    }
    return {};
}

}  // namespace

std::size_t find_element(const BasinModel& model, std::string_view name) {
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        if (model.elements[i].name == name) return i;
    }
    return kNoElement;
}

Result<Network> build_network(const BasinModel& model) {
    const std::vector<Element>& elements = model.elements;
    const std::size_t count = elements.size();
    if (count == 0) return Error::value("the basin has no elements");

    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < count; ++i) {
        if (elements[i].name.find('.') != std::string::npos) {
            return element_error(elements[i], "a name cannot hold '.', which separates the parts "
                                              "of a parameter column");
        }
        if (!index.try_emplace(elements[i].name, i).second) {
            return element_error(elements[i], "the name is already taken by another element");
        }
    }

    Network network;
    network.downstream.assign(count, kNoElement);
    network.upstream.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Element& element = elements[i];
        if (element.downstream.empty()) continue;
        const auto found = index.find(element.downstream);
        if (found == index.end()) {
            return element_error(element, "downstream element " + quoted(element.downstream) +
                                              " is not in the basin");
        }
        const Element& target = elements[found->second];
        if (!receives_inflow(target)) {
            return element_error(element, "downstream element " + quoted(target.name) +
                                              " is a " + kind_word(target) +
                                              ", which takes no inflow");
        }
        network.downstream[i] = found->second;
        network.upstream[found->second].push_back(i);
    }

    const std::string cycle = find_cycle(model, network.downstream);
    if (!cycle.empty()) return Error::value("the elements " + cycle + " form a cycle");

    for (std::size_t i = 0; i < count; ++i) {
        if (receives_inflow(elements[i]) && network.upstream[i].empty()) {
            return element_error(elements[i], "no element flows into it");
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (network.downstream[i] != kNoElement) continue;
        if (network.outlet != kNoElement) {
            return Error::value("the basin has two outlets, " +
                                quoted(elements[network.outlet].name) + " and " +
                                quoted(elements[i].name) +
                                ": give one of them a downstream element");
        }
        network.outlet = i;
    }

    // Kahn's order, started from the elements without inflow in the order they were added, so
    // the order (and with it every sum of a junction) is the same in every run.
    std::vector<std::size_t> waiting(count);
    for (std::size_t i = 0; i < count; ++i) waiting[i] = network.upstream[i].size();
    network.order.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (waiting[i] == 0) network.order.push_back(i);
    }
    for (std::size_t next = 0; next < network.order.size(); ++next) {
        const std::size_t below = network.downstream[network.order[next]];
        if (below != kNoElement && --waiting[below] == 0) network.order.push_back(below);
    }
    if (network.order.size() != count) return Error::internal("the network order is incomplete");
    return network;
}

}  // namespace vesparil
