#include "init.hpp"

namespace vesparil {

bool init_reach(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
