// Shapes shared by every Python entry: the fastcall signature and the flags that go with it.
#pragma once

#include <Python.h>

namespace vesparil::binding {

inline constexpr int kFastcallFlags = METH_FASTCALL | METH_KEYWORDS;

// Casts a fastcall-with-keywords function to the PyCFunction the method table stores.
template <class Function>
PyCFunction as_method(Function function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

}  // namespace vesparil::binding
