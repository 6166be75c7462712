# Type information for the vesparil extension module.
#
# At run time the submodules are attributes of the extension module, not importable modules:
# `import vesparil` then `vesparil.reach...`, or `from vesparil import reach`, both work, while
# `import vesparil.reach` fails. The stubs mirror that: each submodule's types live in a private
# stub module and are re-exported here under the public name, so a type checker accepts the two
# working forms and, like the interpreter, rejects the dotted import.
from vesparil import _baseflow as baseflow
from vesparil import _basin as basin
from vesparil import _evapotranspiration as evapotranspiration
from vesparil import _lumped as lumped
from vesparil import _metrics as metrics
from vesparil import _rainfall_loss as rainfall_loss
from vesparil import _rainfall_transform as rainfall_transform
from vesparil import _reach as reach
from vesparil import _reservoir as reservoir
from vesparil import _snow as snow
from vesparil import _utils as utils

__all__ = [
    "utils",
    "reach",
    "reservoir",
    "rainfall_transform",
    "rainfall_loss",
    "baseflow",
    "metrics",
    "basin",
    "lumped",
    "evapotranspiration",
    "snow",
]
