// Reading and writing the plain data of a basin: dicts built from named values, and a reader
// that takes typed fields out of a dict, turning every failure into an Error that names where in
// the data it happened.
#pragma once

#include <Python.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "binding/containers.hpp"
#include "binding/convert.hpp"
#include "binding/ref.hpp"
#include "core/result.hpp"

namespace vesparil {

using PlainItems = std::vector<std::pair<const char*, binding::Ref>>;

// A new dict of the items in order; null with the first item's failure pending.
binding::Ref plain_dict_of(PlainItems items);

inline bool add_plain_items(PyObject*) { return true; }
template <class... Rest>
bool add_plain_items(PyObject* dict, const char* key, binding::Ref value, Rest&&... rest) {
    if (!value || PyDict_SetItemString(dict, key, value.get()) < 0) return false;
    return add_plain_items(dict, std::forward<Rest>(rest)...);
}

// plain_dict("key", value, "key", value, ...): every value is a new reference, possibly null.
template <class... Items>
binding::Ref plain_dict(Items&&... items) {
    binding::Ref dict = binding::Ref::steal(PyDict_New());
    if (!dict || !add_plain_items(dict.get(), std::forward<Items>(items)...)) return {};
    return dict;
}

// {"elevation": [...], second_name: [...]}
binding::Ref curve_plain(const std::vector<double>& elevation, const char* second_name,
                         const std::vector<double>& second);

// An outlet with its "kind" and the fields of its class.
binding::Ref outlet_plain(const DischargeInfo& outlet);

template <class T>
inline constexpr bool is_optional = false;
template <class T>
inline constexpr bool is_optional<std::optional<T>> = true;

// Reads the plain data with a strong reference to every dict and value it takes, so that a
// value's conversion (a number's __float__) that changes the data cannot free what is being
// read. A key whose value may be None may also be left out (TOML has no None).
struct PlainReader {
    PyObject* dict = nullptr;  // held by `held`
    std::string path;          // where in the data, for messages
    binding::Ref held;

    PlainReader() = default;
    PlainReader(PyObject* object, std::string where, std::optional<Error> failed = {})
        : dict(object), path(std::move(where)), held(binding::Ref::borrow(object)),
          failure(std::move(failed)) {}

    // TypeError (pending) when the object is not a dict.
    bool check_dict() const;

    // The value under `key` (a new reference), or a ValueError naming it when it is absent.
    bool raw(const char* key, binding::Ref& out);
    template <class T>
    bool read(const char* key, T& out) {
        binding::Ref value;
        if constexpr (is_optional<T>) {
            if (absent(key)) {
                out.reset();
                return true;
            }
        }
        if (!raw(key, value)) return false;
        if (binding::Extract<T>::from(value.get(), out)) return true;
        return take_python_error(key);
    }
    bool nested(const char* key, PlainReader& out);
    bool nested(const char* key, std::optional<PlainReader>& out);  // None or absent: empty
    bool absent(const char* key) const;

    Result<std::vector<std::pair<std::string, LinearReservoir>>> layers(const char* key);
    Result<LevelPoolRouting> level_pool(const char* key);

    bool failed() const { return failure.has_value(); }
    Error error() const { return *failure; }

    std::optional<Error> failure;

private:
    bool take_python_error(const char* key);
};

// The methods of each family, as plain data and back (basin/python/plain_methods.cpp).
binding::Ref loss_plain(const LossMethod& loss);
binding::Ref transform_plain(const TransformMethod& transform);
// A reach's or reservoir's method, under the key of its name.
void routing_items(const Element& element, PlainItems& items);
Result<LossMethod> loss_from(PlainReader& reader);
Result<TransformMethod> transform_from(PlainReader& reader);
Result<ReachMethod> reach_from(PlainReader& element);
Result<ReservoirMethod> reservoir_from(PlainReader& element);
// A continuous model in a sub-basin's "transform" slot (basin/python/plain_lumped.cpp); none when the
// dict names another method.
binding::Ref continuous_plain(const ContinuousMethod& method);
// A snow store: None, the DegreeDaySnow's fields, or {"method": "cemaneige", its fields}.
binding::Ref snow_plain(const std::optional<SnowMethod>& snow);
Result<std::optional<SnowMethod>> snow_from(PlainReader& reader, const char* key);
Result<std::optional<ContinuousMethod>> continuous_from(PlainReader& reader);
// An evapotranspiration method: {"method": "oudin", "hargreaves" or "hamon", "latitude"}, the
// latitude checked as its class checks it; None reads as no method.
binding::Ref pet_plain(const EvapotranspirationMethod& method);
Result<std::optional<EvapotranspirationMethod>> pet_from(PlainReader& reader, const char* key);

}  // namespace vesparil
