// The Python side of the metrics submodule beyond calculate_kge: the KgeComponents result class
// and the conversions of the `missing` and `variant` words (metrics/metrics_classes.cpp), and the
// score entries (metrics/init_scores.cpp).
#pragma once

#include <Python.h>

#include "binding/convert.hpp"
#include "binding/record_class.hpp"
#include "metrics/paired_scores.hpp"
#include "metrics/scores.hpp"

namespace vesparil {
// Registers calculate_nse, calculate_kge_components, KgeComponents and the other scores, in
// that order.
bool init_scores(PyObject* module);

// A new KgeComponents result (one given back earlier is reused when one is kept).
binding::Ref new_kge_components(const KgeComponents& components);
}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<KgeComponents>();

// The words checked as they are converted: an unknown one is the ValueError that lists the
// words (a str expected, as for any text argument).
template <>
struct Extract<MissingRule> {
    static bool from(PyObject* object, MissingRule& out);
};

template <>
struct Extract<KgeVariant> {
    static bool from(PyObject* object, KgeVariant& out);
};
}  // namespace vesparil::binding
