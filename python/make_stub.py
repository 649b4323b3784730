"""Writes the type stub of the korvath package from its keywords: make_stub.py PACKAGE_PARENT.

The keywords come from the option table through the built module, so the stub never lists
another set than detect takes.
"""

import os
import sys

sys.path.insert(0, sys.argv[1])
import korvath  # noqa: E402

HEAD = '''# The korvath package's types; made by python/make_stub.py from the option table.
from os import PathLike
from typing import Any, Callable, Literal, overload

import numpy as np
import numpy.typing as npt

__version__: str

class Error(RuntimeError): ...

ImageLike = npt.ArrayLike | str | PathLike[str]
Ellipses = np.ndarray[Any, np.dtype[np.void]]
Box = tuple[tuple[float, float], tuple[float, float], float]

'''


def keyword_list(*left_out):
    return "".join(f"    {name}: {kind} = ...,\n"
                   for name, _, kind, _ in korvath._keywords() if name not in left_out)


def main():
    keywords = keyword_list("full_output")
    text = HEAD
    text += ("@overload\ndef detect(\n    image: ImageLike,\n    *,\n" + keywords +
             "    full_output: Literal[False] = ...,\n) -> Ellipses: ...\n")
    text += ("@overload\ndef detect(\n    image: ImageLike,\n    *,\n" + keywords +
             "    full_output: Literal[True],\n) -> tuple[Ellipses, dict[str, Any]]: ...\n")
    text += "def settings(\n    *,\n" + keyword_list("full_output", "progress")
    text += ") -> dict[str, int | float | bool]: ...\n"
    text += ("def read_image(path: str | PathLike[str], light_is_active: bool = ...,\n"
             "               dark_is_active: bool = ...) -> npt.NDArray[np.bool_]: ...\n")
    text += "def to_cv2(found: Ellipses) -> list[Box]: ...\n"
    target = os.path.join(sys.argv[1], "korvath", "__init__.pyi")
    with open(target, "w") as stub:
        stub.write(text)


main()
