// One callable from several lambdas, for std::visit over a family of methods: a visit that
// leaves out an alternative does not compile, where a chain of std::get_if would run on.
#pragma once

namespace vesparil {

template <class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

}  // namespace vesparil
