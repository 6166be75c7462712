#include "init.hpp"

namespace vesparil {

bool init_transform(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
