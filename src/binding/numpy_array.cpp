#include "binding/numpy_array.hpp"

#include <atomic>
#include <bit>
#include <cstdint>

#include "binding/convert.hpp"
#include "binding/ref.hpp"
#include "core/large_vector.hpp"

namespace vesparil::binding {

namespace {

// numpy.ndarray, once seen. Only a static type (never freed) is remembered, so the pointer cannot
// come to name another type later; any other type is still asked by name, as before.
std::atomic<PyTypeObject*> known_ndarray{nullptr};

bool is_exact_ndarray(PyTypeObject* type) {
    if (type == known_ndarray.load(std::memory_order_relaxed)) return true;
    if (!type_is(type, "numpy", "ndarray")) return false;
    if ((type->tp_flags & Py_TPFLAGS_HEAPTYPE) == 0) {
        known_ndarray.store(type, std::memory_order_relaxed);
    }
    return true;
}

// NumPy builds the format string of a buffer anew on every export, which costs more than the
// rest of a small call. The float64 dtype object of the first float64 array read through its
// format is kept (with a reference, so the address cannot be reused); an array whose dtype is
// that very object holds native float64 items, and its export is asked without the format.
std::atomic<PyObject*> known_float64_dtype{nullptr};
std::atomic<PyObject*> dtype_name{nullptr};

// The interned attribute name "dtype", made once.
PyObject* dtype_attribute() {
    PyObject* name = dtype_name.load(std::memory_order_acquire);
    if (name != nullptr) return name;
    PyObject* made = PyUnicode_InternFromString("dtype");
    if (made == nullptr) {
        PyErr_Clear();
        return nullptr;
    }
    if (!dtype_name.compare_exchange_strong(name, made, std::memory_order_acq_rel)) {
        Py_DECREF(made);
        return name;
    }
    return made;
}

// The getter entry behind numpy.ndarray.dtype, looked up once: reading the attribute through it
// skips the attribute lookup of every call. It is kept for the remembered ndarray type only, a
// static type whose descriptors live as long as the process; other types read it by name.
std::atomic<PyGetSetDef*> known_dtype_getset{nullptr};

PyGetSetDef* dtype_getset(PyTypeObject* type, PyObject* name) {
    if (type != known_ndarray.load(std::memory_order_relaxed)) return nullptr;
    if (PyGetSetDef* known = known_dtype_getset.load(std::memory_order_acquire)) return known;
    // The class attribute is the descriptor itself.
    Ref descriptor = Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(type), name));
    if (!descriptor) {
        PyErr_Clear();
        return nullptr;
    }
    if (!Py_IS_TYPE(descriptor.get(), &PyGetSetDescr_Type)) return nullptr;
    PyGetSetDef* entry = reinterpret_cast<PyGetSetDescrObject*>(descriptor.get())->d_getset;
    if (entry->get == nullptr) return nullptr;
    known_dtype_getset.store(entry, std::memory_order_release);
    return entry;
}

// The array's dtype object (a new reference), or null without an exception.
Ref dtype_of(PyObject* array) {
    PyObject* name = dtype_attribute();
    if (name == nullptr) return {};
    PyGetSetDef* entry = dtype_getset(Py_TYPE(array), name);
    Ref dtype = Ref::steal(entry != nullptr ? entry->get(array, entry->closure)
                                            : PyObject_GetAttr(array, name));
    if (!dtype) PyErr_Clear();
    return dtype;
}

void remember_float64_dtype(PyObject* array) {
    if (known_float64_dtype.load(std::memory_order_acquire) != nullptr) return;
    Ref dtype = dtype_of(array);
    if (!dtype) return;
    PyObject* expected = nullptr;
    if (known_float64_dtype.compare_exchange_strong(expected, dtype.get(),
                                                    std::memory_order_acq_rel)) {
        (void)dtype.release();  // kept for the life of the process
    }
}

// The integer element of `itemsize` bytes, of the signed or the unsigned kinds.
Element integer_of(Py_ssize_t itemsize, bool is_signed) {
    switch (itemsize) {
        case 1:
            return is_signed ? Element::int8 : Element::uint8;
        case 2:
            return is_signed ? Element::int16 : Element::uint16;
        case 4:
            return is_signed ? Element::int32 : Element::uint32;
        case 8:
            return is_signed ? Element::int64 : Element::uint64;
        default:
            return Element::other;
    }
}

// The element type of a buffer format in native byte order ("d", "<f", "=q", ...), with the
// item size taken from the buffer (native and standard sizes of "l" differ).
Element element_of(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr) return Element::other;
    if (*format == '@' || *format == '=' ||
        (*format == '<' && std::endian::native == std::endian::little)) {
        ++format;
    }
    if (format[0] == '\0' || format[1] != '\0') return Element::other;
    switch (format[0]) {
        case 'd':
            return itemsize == 8 ? Element::float64 : Element::other;
        case 'f':
            return itemsize == 4 ? Element::float32 : Element::other;
        case '?':
            return itemsize == 1 ? Element::boolean : Element::other;
        case 'b':
        case 'h':
        case 'i':
        case 'l':
        case 'q':
            return integer_of(itemsize, true);
        case 'B':
        case 'H':
        case 'I':
        case 'L':
        case 'Q':
            return integer_of(itemsize, false);
        default:
            return Element::other;
    }
}

bool is_aligned(const Py_buffer& view) {
    return view.itemsize > 0 &&
           reinterpret_cast<std::uintptr_t>(view.buf) % static_cast<std::uintptr_t>(view.itemsize) == 0;
}

}  // namespace

bool ArrayView::open(PyObject* object, int max_dimensions) {
    if (!PyObject_CheckBuffer(object) || !is_exact_ndarray(Py_TYPE(object))) return false;
    if (open_known_float64(object, max_dimensions)) return true;
    if (PyObject_GetBuffer(object, &view_, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        PyErr_Clear();
        return false;
    }
    held_ = true;
    // An unaligned array (np.frombuffer at an odd offset, a buffer unpickled in place) cannot be
    // read through typed pointers: it takes the item path.
    if (!is_aligned(view_)) return false;
    const bool rows = view_.ndim == 2 && max_dimensions == 2;
    element_ = view_.ndim == 1 || rows ? element_of(view_.format, view_.itemsize) : Element::other;
    if (element_ == Element::float64) remember_float64_dtype(object);
    if (rows && element_ != Element::float64) element_ = Element::other;
    return element_ != Element::other;
}

bool ArrayView::open_known_float64(PyObject* object, int max_dimensions) {
    PyObject* known = known_float64_dtype.load(std::memory_order_acquire);
    if (known == nullptr) return false;
    if (Ref dtype = dtype_of(object); dtype.get() != known) return false;
    if (PyObject_GetBuffer(object, &view_, PyBUF_C_CONTIGUOUS) != 0) {
        PyErr_Clear();
        return false;
    }
    if (view_.ndim < 1 || view_.ndim > max_dimensions || view_.itemsize != sizeof(double) ||
        !is_aligned(view_)) {
        PyBuffer_Release(&view_);
        return false;
    }
    held_ = true;
    element_ = Element::float64;
    return true;
}

namespace {

template <class T>
void convert_items(const ArrayView& view, std::vector<double>& out) {
    const T* items = view.items<T>();
    out.insert(out.end(), items, items + view.size());  // each item cast to double
}

}  // namespace

void convert_array(const ArrayView& view, std::vector<double>& out) {
    reserve_large(out, view.size());
    switch (view.element()) {
        case Element::float64:
            return convert_items<double>(view, out);
        case Element::float32:
            return convert_items<float>(view, out);
        case Element::int8:
            return convert_items<std::int8_t>(view, out);
        case Element::int16:
            return convert_items<std::int16_t>(view, out);
        case Element::int32:
            return convert_items<std::int32_t>(view, out);
        case Element::int64:
            return convert_items<std::int64_t>(view, out);
        case Element::uint8:
            return convert_items<std::uint8_t>(view, out);
        case Element::uint16:
            return convert_items<std::uint16_t>(view, out);
        case Element::uint32:
            return convert_items<std::uint32_t>(view, out);
        case Element::uint64:
            return convert_items<std::uint64_t>(view, out);
        case Element::boolean: {
            // Any nonzero byte is True.
            const auto* items = view.items<std::uint8_t>();
            for (std::size_t i = 0; i < view.size(); ++i) {
                out.push_back(items[i] != 0 ? 1.0 : 0.0);
            }
            return;
        }
        case Element::other:
            return;
    }
}

}  // namespace vesparil::binding
