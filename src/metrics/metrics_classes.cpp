// The KgeComponents result class, and the `missing` and `variant` words.
#include "metrics/metrics_classes.hpp"

#include <array>
#include <cstddef>
#include <new>
#include <string_view>

#include "binding/attributes.hpp"

namespace vesparil {

namespace {

using namespace binding;

PyGetSetDef kge_components_getset[] = {
    {"kge", get_field<KgeComponents, &KgeComponents::kge>, nullptr,
     "The Kling-Gupta efficiency of the variant asked for (1 is a perfect match).", nullptr},
    {"r", get_field<KgeComponents, &KgeComponents::r>, nullptr,
     "Pearson correlation of the simulated and observed series.", nullptr},
    {"variability", get_field<KgeComponents, &KgeComponents::variability>, nullptr,
     "alpha = std_sim / std_obs (2009), or gamma = (std_sim / mean_sim) / (std_obs / mean_obs)\n"
     "(2012).",
     nullptr},
    {"bias", get_field<KgeComponents, &KgeComponents::bias>, nullptr,
     "beta = mean_sim / mean_obs.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// A result is read at a glance: its four numbers, each as repr(float) writes it.
PyObject* kge_components_repr(PyObject* self) {
    return guarded([&]() -> PyObject* {
        const KgeComponents& c = as_instance<KgeComponents>(self)->record;
        Ref kge = to_python(c.kge);
        Ref r = to_python(c.r);
        Ref variability = to_python(c.variability);
        Ref bias = to_python(c.bias);
        if (!kge || !r || !variability || !bias) return nullptr;
        return PyUnicode_FromFormat("KgeComponents(kge=%R, r=%R, variability=%R, bias=%R)",
                                    kge.get(), r.get(), variability.get(), bias.get());
    });
}

// Results given back are kept for the next call, as the interpreter keeps its floats: a calibration
// makes and drops one per evaluation, and taking a kept one skips the allocator. Only instances of
// the class itself, only in the main interpreter (whose lock guards the list), and never on a
// free-threaded build.
#ifndef Py_GIL_DISABLED
constexpr std::size_t kKeptResults = 8;
std::array<PyObject*, kKeptResults> kept_results{};
std::size_t kept_count = 0;

bool keeps_results() { return PyInterpreterState_Get() == PyInterpreterState_Main(); }
#endif

void kge_components_dealloc(PyObject* self) {
#ifndef Py_GIL_DISABLED
    PyTypeObject* type = Py_TYPE(self);
    if (kept_count < kKeptResults && type == class_type<KgeComponents>() && keeps_results()) {
        Instance<KgeComponents>* instance = as_instance<KgeComponents>(self);
        instance->record.~KgeComponents();
        instance->borrow.~BorrowFlag();
        kept_results[kept_count++] = self;
        Py_DECREF(type);  // the class itself holds it: never the last reference
        return;
    }
#endif
    dealloc_instance<KgeComponents>(self);
}

PyType_Slot kge_components_slots[] = {
    {Py_tp_doc, const_cast<char*>("The Kling-Gupta efficiency and the three components it is "
                                  "made of, as calculate_kge_components returns them.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(kge_components_dealloc)},
    {Py_tp_getset, kge_components_getset},
    {Py_tp_repr, reinterpret_cast<void*>(kge_components_repr)},
    {0, nullptr},
};

PyType_Spec kge_components_spec =
    make_spec<KgeComponents>("KgeComponents", kge_components_slots, kResultClassFlags);

}  // namespace

binding::Ref new_kge_components(const KgeComponents& components) {
#ifndef Py_GIL_DISABLED
    if (kept_count > 0 && keeps_results()) {
        // A result was kept, so the class exists.
        PyObject* object = PyObject_Init(kept_results[--kept_count], class_type<KgeComponents>());
        Instance<KgeComponents>* instance = as_instance<KgeComponents>(object);
        new (&instance->borrow) BorrowFlag();
        new (&instance->record) KgeComponents(components);
        return Ref::steal(object);
    }
#endif
    return new_instance(components);
}

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::KgeComponents>() {
    return vesparil::kge_components_spec;
}

namespace vesparil::binding {

namespace {

// The UTF-8 text of a str, viewed where the str keeps it (valid while the argument lives).
bool word_of(PyObject* object, std::string_view& out) {
    if (!PyUnicode_Check(object)) {
        raise_cast_error(object, "str");
        return false;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object, &size);
    if (text == nullptr) return false;
    out = {text, static_cast<std::size_t>(size)};
    return true;
}

}  // namespace

bool Extract<MissingRule>::from(PyObject* object, MissingRule& out) {
    std::string_view word;
    if (!word_of(object, word)) return false;
    const auto rule = missing_rule(word);
    if (!rule) return raise(rule.error()), false;
    out = *rule;
    return true;
}

bool Extract<KgeVariant>::from(PyObject* object, KgeVariant& out) {
    std::string_view word;
    if (!word_of(object, word)) return false;
    const auto variant = kge_variant(word);
    if (!variant) return raise(variant.error()), false;
    out = *variant;
    return true;
}

}  // namespace vesparil::binding
