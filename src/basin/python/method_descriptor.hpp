// A basin method's Python class made from its table (basin/model/method_tables.hpp): the
// constructor (the arguments in the fields' order; a field given no argument keeps the record's
// default), the attributes, the type spec and the plain data (the same names, in the same
// order). A duration is a timedelta in Python and seconds (with their microseconds) in the
// record and the plain data.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/snow_store.hpp"
#include "basin/model/method_tables.hpp"
#include "basin/python/method_class_parts.hpp"
#include "basin/python/plain_fields.hpp"
#include "basin/run/element_check.hpp"
#include "binding/parse.hpp"
#include "binding/containers.hpp"
#include "binding/timedelta.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil::basin_classes {

// A method's class is made from its table (basin/model/method_tables.hpp), and its own values
// checked by its family's check (basin/run/element_check.hpp), the one rule of every method class.
template <class Record>
using MethodClass = MethodTable<Record>;

template <class Record, class Family>
inline constexpr bool is_member_of = false;
template <class Record, class... Methods>
inline constexpr bool is_member_of<Record, std::variant<Methods...>> =
    (std::is_same_v<Record, Methods> || ...);

template <class Record>
Result<void> own_check(const Record& record) {
    if constexpr (is_member_of<Record, LossMethod>) {
        return check_loss(LossMethod{record});
    } else if constexpr (is_member_of<Record, TransformMethod>) {
        return check_transform_values(TransformMethod{record});
    } else if constexpr (is_member_of<Record, ReachMethod>) {
        return check_reach_values(ReachMethod{record});
    } else if constexpr (is_member_of<Record, ReservoirMethod>) {
        return check_reservoir_values(ReservoirMethod{record});
    } else if constexpr (is_member_of<Record, ContinuousMethod>) {
        return check_continuous(ContinuousMethod{record}, kDaySeconds);
    } else {
        static_assert(is_member_of<Record, SnowMethod>, "a method of a family with a check");
        return check_snow(SnowMethod{record});
    }
}

namespace descriptor_detail {

template <class Record>
constexpr std::size_t field_count = std::tuple_size_v<decltype(MethodClass<Record>::fields)>;

template <class Record, std::size_t I>
using FieldAt = std::remove_cvref_t<decltype(std::get<I>(MethodClass<Record>::fields))>;

// A value as Python sees it: None for an absent optional.
template <class T>
binding::Ref python_value(const T& value) {
    if constexpr (requires { value.has_value(); }) {
        return value ? binding::to_python(*value) : binding::Ref::borrow(Py_None);
    } else {
        return binding::to_python(value);
    }
}

// What the constructor converts an argument into: the field's own type, or a timedelta.
template <class F, class Record>
using Argument = std::conditional_t<F::crossing == Crossing::duration, binding::Timedelta,
                                    std::remove_cvref_t<decltype(F::in(std::declval<Record&>()))>>;

template <class Record, std::size_t... I>
const binding::Parameters<sizeof...(I)>& parameters(std::index_sequence<I...>) {
    using Class = MethodClass<Record>;
    static const std::string callable = std::string(Class::name) + ".__new__()";
    static const binding::Parameters<sizeof...(I)> made{
        callable.c_str(), {std::get<I>(Class::fields).name...}, Class::required};
    return made;
}

template <class Record, std::size_t I>
bool store(Record& record, const Argument<FieldAt<Record, I>, Record>& argument) {
    using F = FieldAt<Record, I>;
    if constexpr (F::crossing == Crossing::duration) {
        if (argument.object == nullptr) return true;  // not given: the record's default stands
        binding::Duration seconds;
        if (!binding::to_duration(argument, seconds)) return false;
        F::in(record) = seconds.as_seconds();
    } else {
        F::in(record) = argument;
    }
    return true;
}

template <class Record, std::size_t... I>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs,
                    std::index_sequence<I...> fields) {
    Record record{};
    // Each argument starts from the record's default: a parameter not given keeps it.
    std::tuple<Argument<FieldAt<Record, I>, Record>...> arguments;
    (
        (void)[&] {
            if constexpr (FieldAt<Record, I>::crossing == Crossing::value) {
                std::get<I>(arguments) = FieldAt<Record, I>::in(record);
            }
        }(),
        ...);
    if (!binding::parse_new(parameters<Record>(fields), args, kwargs, std::get<I>(arguments)...)) {
        return nullptr;
    }
    if (!(store<Record, I>(record, std::get<I>(arguments)) && ...)) return nullptr;
    auto checked = own_check(record);
    return checked_instance(type, std::move(record), std::move(checked));
}

template <class Record>
PyObject* method_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return binding::guarded([&]() -> PyObject* {
        return construct<Record>(type, args, kwargs,
                                 std::make_index_sequence<field_count<Record>>{});
    });
}

template <class Record, std::size_t I>
PyObject* get(PyObject* self, void*) {
    return binding::guarded([&]() -> PyObject* {
        return binding::with_shared<Record>(
                   self,
                   [](const Record& record) {
                       using F = FieldAt<Record, I>;
                       if constexpr (F::crossing == Crossing::duration) {
                           return binding::DurationToTimedelta{}(F::in(record));
                       } else if constexpr (F::crossing == Crossing::record) {
                           return binding::new_instance(F::in(record));
                       } else if constexpr (F::crossing == Crossing::named_records) {
                           return binding::to_python_dict(F::in(record), [](const auto& item) {
                               return std::visit(
                                   [](const auto& one) { return binding::new_instance(one); },
                                   item);
                           });
                       } else {
                           return python_value(F::in(record));
                       }
                   })
            .release();
    });
}

template <class Record, std::size_t... I>
PyGetSetDef* getset(std::index_sequence<I...>) {
    using Class = MethodClass<Record>;
    static PyGetSetDef table[] = {{std::get<I>(Class::fields).name, get<Record, I>, nullptr,
                                   std::get<I>(Class::fields).doc, nullptr}...,
                                  kGetsetEnd};
    return table;
}

}  // namespace descriptor_detail

// The class's type spec, made once from its table.
template <class Record>
PyType_Spec& method_spec() {
    using namespace descriptor_detail;
    static PyType_Spec spec = binding::make_spec<Record>(
        MethodClass<Record>::name,
        slots<Record>(MethodClass<Record>::doc, method_new<Record>,
                      getset<Record>(std::make_index_sequence<field_count<Record>>{})),
        binding::kSealedClassFlags);
    return spec;
}

// The method's plain data: {"method": word} first when `named`, then its fields by name (a
// duration in seconds).
template <class Record>
binding::Ref method_plain(const Record& record, bool named) {
    PlainItems items;
    if (named)
        items.emplace_back("method", binding::to_python(std::string(MethodClass<Record>::word)));
    std::apply(
        [&](const auto&... field) {
            (items.emplace_back(field.name, descriptor_detail::python_value(
                                                std::remove_cvref_t<decltype(field)>::in(record))),
             ...);
        },
        MethodClass<Record>::fields);
    return plain_dict_of(std::move(items));
}

// The method read back from its plain data, field by field in the table's order.
template <class Record>
Result<Record> method_from(PlainReader& reader) {
    Record record{};
    const bool read = std::apply(
        [&](const auto&... field) {
            return (reader.read(field.name, std::remove_cvref_t<decltype(field)>::in(record)) &&
                    ...);
        },
        MethodClass<Record>::fields);
    if (!read) return reader.error();
    return record;
}

}  // namespace vesparil::basin_classes
