#include "init.hpp"

namespace vesparil {

bool init_reservoir(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
