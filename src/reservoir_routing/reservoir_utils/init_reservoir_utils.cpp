// Python entries of the reservoir_utils submodule: the rating curves and the four outlets.
#include "binding/module.hpp"
#include "init.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil {

bool init_reservoir_utils(PyObject* module) {
    using binding::add_class;
    return add_class<ElevationDischarge>(module) && add_class<ElevationStorage>(module) &&
           add_class<ControlledDischargeInfo>(module) &&
           add_class<UnControlledDischargeInfo>(module) &&
           add_class<SpecifiedDischargeInfo>(module) && add_class<ConstantDischargeInfo>(module);
}

}  // namespace vesparil
