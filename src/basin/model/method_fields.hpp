// One field of a basin method, declared once in its method's table (basin/model/method_tables):
// its name (the Python argument and attribute, the plain-data key and the batch column's
// parameter), where it lives in the record (a path of members), how it crosses into Python (a
// value as it is; a duration: a timedelta in Python, seconds in the record and the plain data,
// hours in a batch column; a record shown as an instance of its own class; named records, a
// dict of such instances in order), its doc, and whether a batch column may set it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace vesparil {

enum class Crossing { value, duration, record, named_records };

template <Crossing How, auto... Path>
struct MethodField {
    const char* name;
    const char* doc;
    bool column;
    static constexpr Crossing crossing = How;
    // The field inside a record, through the path of members.
    template <class Record>
    static auto& in(Record& record) {
        return (record.*....*Path);
    }
};

template <auto... Path>
constexpr MethodField<Crossing::record, Path...> record(const char* name, const char* doc) {
    return {name, doc, false};
}
template <auto... Path>
constexpr MethodField<Crossing::named_records, Path...> named_records(const char* name,
                                                                      const char* doc) {
    return {name, doc, false};
}

// Batch columns are the fields given kColumn.
inline constexpr bool kColumn = true;

template <auto... Path>
constexpr MethodField<Crossing::value, Path...> number(const char* name, const char* doc,
                                                       bool column = false) {
    return {name, doc, column};
}
template <auto... Path>
constexpr MethodField<Crossing::duration, Path...> duration(const char* name, const char* doc,
                                                            bool column = false) {
    return {name, doc, column};
}

// Specialised, per method record, by basin/model/method_tables.hpp.
template <class Record>
struct MethodTable;

// The position of the field named `name` in Record's table; none when it has no such field.
template <class Record>
std::optional<std::size_t> field_index(std::string_view name) {
    std::optional<std::size_t> found;
    std::size_t index = 0;
    std::apply(
        [&](const auto&... field) {
            ((found = !found && name == field.name ? std::optional(index) : found, ++index), ...);
        },
        MethodTable<Record>::fields);
    return found;
}

namespace method_fields_detail {

template <class Record, std::size_t... I>
double& field_at(Record& record, std::size_t index, std::index_sequence<I...>) {
    using Access = double& (*)(Record&);
    static constexpr Access access[] = {+[](Record& r) -> double& {
        return std::remove_cvref_t<decltype(std::get<I>(MethodTable<Record>::fields))>::in(r);
    }...};
    return access[index](record);
}

}  // namespace method_fields_detail

// The field at `index` of Record's table, every one of which is a number (HBV, the degree-day
// store: their batch columns are found by name and set by position).
template <class Record>
double& field_at(Record& record, std::size_t index) {
    return method_fields_detail::field_at(
        record, index,
        std::make_index_sequence<std::tuple_size_v<decltype(MethodTable<Record>::fields)>>{});
}

}  // namespace vesparil
