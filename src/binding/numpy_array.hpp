// Contiguous NumPy arrays read straight from their buffer: one-dimensional series, and the
// two-dimensional float64 arrays of an ensemble (members x steps).
#pragma once

#include <Python.h>

#include <cstddef>
#include <vector>

namespace vesparil::binding {

// The element types whose items convert to a double exactly as a plain cast does: iterating
// such an array yields NumPy scalars whose __float__ is that cast (float32 widens exactly,
// integers round to nearest like int -> float, a bool is 0.0 or 1.0).
enum class Element {
    float64,
    float32,
    int8,
    int16,
    int32,
    int64,
    uint8,
    uint16,
    uint32,
    uint64,
    boolean,
    other
};

// A held buffer export of a C-contiguous NumPy array (exactly ndarray, so iteration cannot have
// been overridden) of a supported element type, one-dimensional or, where the caller allows it,
// two-dimensional with float64 items; released on destruction.
class ArrayView {
public:
    ArrayView() = default;
    ArrayView(const ArrayView&) = delete;
    ArrayView& operator=(const ArrayView&) = delete;
    ~ArrayView() {
        if (held_) PyBuffer_Release(&view_);
    }

    // False, with no exception, when the object does not qualify (it then takes the sequence
    // path, which decides what is accepted and raises what it always raised).
    bool open(PyObject* object, int max_dimensions = 1);

    Element element() const { return element_; }
    std::size_t size() const {
        return static_cast<std::size_t>(view_.len) / static_cast<std::size_t>(view_.itemsize);
    }
    int dimensions() const { return view_.ndim; }
    // The length of axis 0 or 1.
    std::size_t extent(int axis) const { return static_cast<std::size_t>(view_.shape[axis]); }
    template <class T>
    const T* items() const {
        return static_cast<const T*>(view_.buf);
    }

private:
    // The export without its format, for an array of the remembered float64 dtype.
    bool open_known_float64(PyObject* object, int max_dimensions);

    Py_buffer view_{};
    bool held_ = false;
    Element element_ = Element::other;
};

// Appends the array's items to `out`, each converted as a plain cast to double.
void convert_array(const ArrayView& view, std::vector<double>& out);

}  // namespace vesparil::binding
