// One field of a basin method, declared once in its method's table (basin/model/method_tables):
// its name (the Python argument and attribute, the plain-data key and the batch column's
// parameter), where it lives in the record (a path of members), how it crosses into Python (a
// value as it is, or a duration: a timedelta in Python, seconds in the record and the plain
// data, hours in a batch column), its doc, and whether a batch column may set it.
#pragma once

namespace vesparil {

enum class Crossing { value, duration };

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

}  // namespace vesparil
