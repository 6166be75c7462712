// Binding and converting a call's arguments in one step.
//
//     static constexpr Parameters<2> kParameters{"f()", {"a", "b"}, 1};
//     double a = 0.0;
//     std::optional<double> b;
//     if (!parse_call(kParameters, args, nargs, kwnames, a, b)) return nullptr;
//
// Arguments are bound (binding/arguments.hpp), then converted one by one in parameter order; the
// first failure is raised with the argument-error wrapping, and a parameter that was not given
// keeps the value its output variable already holds (its default).
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>

#include "binding/arguments.hpp"
#include "binding/convert.hpp"

namespace vesparil::binding {

// The parameters after the first `positional` are keyword-only (`*` in the text signature).
template <std::size_t N>
struct Parameters {
    const char* callable;
    std::array<const char*, N> names;
    std::size_t required;
    std::size_t positional = N;

    Signature signature() const { return {callable, names, required, positional}; }
};

template <std::size_t N, class... Out>
bool convert_bound(const Parameters<N>& parameters, const std::array<PyObject*, N>& bound,
                   Out&... out) {
    static_assert(sizeof...(Out) == N, "one output per parameter");
    [[maybe_unused]] std::size_t i = 0;  // unused when there are no parameters
    // && evaluates its operands left to right and stops at the first failure.
    return ((argument(parameters.names[i], bound[i], out) && (++i, true)) && ...);
}

// Vectorcall form, for functions and methods.
template <std::size_t N, class... Out>
bool parse_call(const Parameters<N>& parameters, PyObject* const* args, Py_ssize_t nargs,
                PyObject* kwnames, Out&... out) {
    std::array<PyObject*, N> bound{};
    if (!bind_arguments(parameters.signature(), args, nargs, kwnames, bound)) return false;
    return convert_bound(parameters, bound, out...);
}

// Tuple-and-dict form, for constructors (tp_new).
template <std::size_t N, class... Out>
bool parse_new(const Parameters<N>& parameters, PyObject* args, PyObject* kwargs, Out&... out) {
    std::array<PyObject*, N> bound{};
    if (!bind_arguments(parameters.signature(), args, kwargs, bound)) return false;
    return convert_bound(parameters, bound, out...);
}

}  // namespace vesparil::binding
