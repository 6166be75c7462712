// Owning and borrowed references to Python objects.
//
// Three rules keep reference counts right without a Py_DECREF in business code:
//   1. A function that returns a new reference returns `Ref` (it owns one count).
//   2. A function that returns a pointer it does not own returns `Borrowed` (never touches counts).
//   3. Handing a reference to a function that steals it is spelled out: `ref.release()` at the
//      call.
#pragma once

#include <Python.h>

#include <utility>

namespace vesparil::binding {

class Borrowed {
public:
    Borrowed() = default;
    Borrowed(PyObject* object) : object_(object) {}
    PyObject* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    PyObject* object_ = nullptr;
};

class Ref {
public:
    Ref() = default;
    // Takes over a new reference (may be null, e.g. a failed API call).
    static Ref steal(PyObject* object) { return Ref(object); }
    // Adds a count to a borrowed pointer.
    static Ref borrow(PyObject* object) {
        Py_XINCREF(object);
        return Ref(object);
    }

    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
            Py_XDECREF(old);
        }
        return *this;
    }
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    Borrowed borrowed() const { return Borrowed(object_); }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the count to the caller (a function result, or an API that steals it).
    [[nodiscard]] PyObject* release() { return std::exchange(object_, nullptr); }

private:
    explicit Ref(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace vesparil::binding
