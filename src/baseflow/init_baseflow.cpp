#include "init.hpp"

namespace vesparil {

bool init_baseflow(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
