# Argument types shared by the submodule stubs. This module exists only for type checking.
from collections.abc import Iterator, Sequence
from typing import Literal, Protocol, SupportsFloat, SupportsIndex, TypeAlias

# Anything the float conversion accepts: float, int, bool, objects with __float__ or __index__.
FloatLike: TypeAlias = SupportsFloat | SupportsIndex

class FloatArrayLike(Protocol):
    """An array-like of numbers with a length and integer indexing, e.g. a NumPy array."""

    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> FloatLike: ...
    def __iter__(self) -> Iterator[FloatLike]: ...

# A float vector argument: any sequence of numbers except a str (lists, tuples, NumPy arrays,
# pandas columns).
FloatVector: TypeAlias = Sequence[FloatLike] | FloatArrayLike

# The kind word of a time series.
Kind: TypeAlias = Literal["discharge", "rainfall", "elevation", "volume"]
