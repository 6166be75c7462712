#include "init.hpp"

namespace vesparil {

bool init_metrics(PyObject* module) {
    (void)module;
    return true;
}

}  // namespace vesparil
