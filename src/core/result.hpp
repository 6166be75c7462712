// Errors as values for the numeric cores.
//
// A core function returns either its value or an Error; nothing in src/<subsystem>/ throws on
// purpose or touches the interpreter. The binding layer turns an Error into the matching Python
// exception at the boundary of the call (src/binding/errors.hpp).
#pragma once

#include <source_location>
#include <string>
#include <utility>
#include <variant>

namespace vesparil {

enum class ErrorKind {
    Value,        // ValueError: a validation rule of the model was broken
    Type,         // TypeError
    Overflow,     // OverflowError
    Runtime,      // RuntimeError
    Internal,     // PanicException: a check of our own code failed ("cannot happen")
    Memory,       // MemoryError
    Interrupted,  // the caller asked a long loop to stop (the interpreter's exception is pending)
};

struct Error {
    ErrorKind kind;
    std::string message;
    std::source_location where;

    static Error value(std::string message) { return {ErrorKind::Value, std::move(message), {}}; }
    static Error type(std::string message) { return {ErrorKind::Type, std::move(message), {}}; }
    static Error runtime(std::string message) {
        return {ErrorKind::Runtime, std::move(message), {}};
    }
    static Error overflow(std::string message) {
        return {ErrorKind::Overflow, std::move(message), {}};
    }
    static Error memory() { return {ErrorKind::Memory, {}, {}}; }
    static Error interrupted() { return {ErrorKind::Interrupted, {}, {}}; }
    // The source location is the caller's, so the diagnostic points at the failed check.
    static Error internal(std::string message,
                          std::source_location where = std::source_location::current()) {
        return {ErrorKind::Internal, std::move(message), where};
    }
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }

    const Error& error() const& { return std::get<1>(state_); }
    Error&& error() && { return std::get<1>(std::move(state_)); }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const& { return error_; }
    Error&& error() && { return std::move(error_); }

private:
    Error error_{};
    bool failed_ = false;
};

}  // namespace vesparil
