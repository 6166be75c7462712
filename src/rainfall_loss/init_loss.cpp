#include "init.hpp"

namespace vesparil {

bool init_loss(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
