// A union of records (std::variant) from a Python value: the first alternative whose class the
// value is an instance of, tried in the variant's order.
//
// The owner of the union names it with a UnionNames specialisation: the union's name and one
// short name per alternative, used in the message when no class matches:
//
//   failed to extract enum U ('A | B')
//   - variant A (A): TypeError: failed to extract field U::A.0, caused by TypeError: <cast error>
//   - variant B (B): ...
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <variant>

#include "binding/errors.hpp"
#include "binding/record_argument.hpp"
#include "binding/record_class.hpp"

namespace vesparil::binding {

template <class Union>
struct UnionNames;  // static constexpr const char* name; std::array<const char*, N> variants

template <class... Records>
    requires(is_argument_class<Records> && ...)
struct Extract<std::variant<Records...>> {
    using Union = std::variant<Records...>;
    using Names = UnionNames<Union>;
    // A name per alternative: a list one short would read past its end in a message.
    static_assert(Names::variants.size() == sizeof...(Records),
                  "UnionNames must name every alternative of the union, in its order");

    static bool from(PyObject* object, Union& out) {
        bool matched = false;
        bool ok = true;
        // The fold stops at the first class the value belongs to (or at a failure).
        ((matched = matched || try_alternative<Records>(object, out, ok)), ...);
        if (matched) return ok;
        if (PyErr_Occurred()) return false;
        PyErr_SetString(PyExc_TypeError, no_match_message(object).c_str());
        return false;
    }

private:
    // True when the search ends here: the value is an instance of Record (its copy decides `ok`),
    // or the class could not be created (`ok` false, exception set).
    template <class Record>
    static bool try_alternative(PyObject* object, Union& out, bool& ok) {
        if (!is_instance<Record>(object)) {
            ok = !PyErr_Occurred();
            return !ok;
        }
        Record record;
        ok = extract_instance(object, record);
        if (ok) out = std::move(record);
        return true;
    }

    static std::string no_match_message(PyObject* object) {
        std::string message = std::string("failed to extract enum ") + Names::name + " ('";
        for (std::size_t i = 0; i < sizeof...(Records); ++i) {
            if (i > 0) message += " | ";
            message += Names::variants[i];
        }
        message += "')";
        std::size_t i = 0;
        ((append_variant(message, Names::variants[i++], object, class_spec<Records>().name)), ...);
        return message;
    }

    static void append_variant(std::string& message, const char* variant, PyObject* object,
                               const char* class_name) {
        message.append("\n- variant ")
            .append(variant)
            .append(" (")
            .append(variant)
            .append("): TypeError: failed to extract field ");
        message.append(Names::name)
            .append("::")
            .append(variant)
            .append(".0, caused by TypeError: ");
        message.append(cast_error_message(object, class_name));
    }
};

}  // namespace vesparil::binding
