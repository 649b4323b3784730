"""Ellipse detection in binary images by a clustered genetic search.

Conventions, the same as the program's report:

- Coordinates are in pixels, x to the right (the column) and y down (the row), with the origin
  at the centre of the top-left pixel: image[y, x] covers [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5].
- major_axis and minor_axis are full lengths (twice the semi-axes), major >= minor.
- angle is the major axis' direction in radians, in (-pi/2, pi/2]: 0 along +x, growing from +x
  towards +y, which turns clockwise on screen since y points down.
- completeness is the share of the ellipse's outline found in the image, from 0 to 1; distance
  is the mean distance in pixels between the outline's points and the pixels matching them.
"""

import inspect as _inspect
import math as _math

from ._korvath import Error, __version__
from . import _korvath

__all__ = ["Error", "__version__", "detect", "read_image", "settings", "to_cv2"]

_DETECT_DOC = """Finds the ellipses of a binary image.

image: a numpy array, H x W or H x W x 1, of booleans, integers or reals (non-zero is active,
as in an edge map), or the path of an image file the program reads (PBM, BMP, PNG, PGM, TIFF). A
C-contiguous bool or uint8 array is read in place: the search copies it once into its own grid.

Returns a numpy structured array with one record per ellipse, in the order they were found:

  center_x            centre in pixels, x right from the centre of the top-left pixel
  center_y            centre in pixels, y down from the centre of the top-left pixel
  major_axis          full length of the major axis, in pixels
  minor_axis          full length of the minor axis, in pixels (<= major_axis)
  angle               the major axis' direction, radians in (-pi/2, pi/2], from +x towards +y:
                      clockwise on screen
  completeness        share of the outline found in the image, 0 to 1
  distance            mean distance in pixels of the outline's points from the pixels matched
  refined             whether the parameters were refitted to the pixels (refine=True)

Centre and axes are whole pixels unless refine is set. With full_output=True, returns
(ellipses, info), info holding evaluations, steps and stop_reason ("budget", "exhausted",
"stalled", or "asked" when progress returned False).

The search releases the GIL, so other threads run meanwhile. After every step it takes the GIL
briefly: Ctrl-C raises KeyboardInterrupt, and progress, when given, is called as
progress(step, evaluations, solutions) with the solutions found so far; returning False stops
the search, which returns what it found. Text asked for with verbose goes to sys.stdout as it
is printed.

Other conventions: to_cv2(found) gives the rotated rectangles of the common drawing call for
ellipses. For the common least-squares ellipse model of scientific image libraries, whose
parameters are (xc, yc, a, b, theta) with semi-axes a, b and theta from +x towards +y (x the
column, y the row):

    params = [(e["center_x"], e["center_y"], e["major_axis"] / 2, e["minor_axis"] / 2,
               e["angle"]) for e in found]

Raises korvath.Error with the program's message for a file it cannot read, TypeError for an
argument of the wrong type or an unknown keyword, ValueError for a value out of range or an
array of another shape.

Keywords (the program's options, with '_' for '-'):

"""

_OWN_KEYWORDS = [
    ("progress", None, "Callable[[int, int, int], bool | None] | None",
     "called after every step with (step, evaluations, solutions); False stops"),
    ("full_output", False, "bool", "also return the search's info"),
]


def _keywords():
    """Every keyword of detect as (name, default, type, meaning)."""
    return [tuple(row) for row in _korvath.keywords()] + _OWN_KEYWORDS


def detect(image, **options):
    return _korvath.detect(image, **options)


def settings(**options):
    """The settings detect would search with for the same keywords, by keyword."""
    return _korvath.settings(**options)


def read_image(path, light_is_active=False, dark_is_active=False):
    """Reads an image file as the program does: a 2-D boolean array, True where active.

    The active pixels of a PNG, PGM or TIFF file are those on the side of the grey threshold
    with fewer pixels (the dark ones on a tie) unless light_is_active or dark_is_active forces a
    side; a PBM's 1 is active, and a BMP's dark pixels unless light_is_active.
    """
    return _korvath.read_image(path, light_is_active, dark_is_active)


def to_cv2(found):
    """The ellipses as rotated rectangles ((cx, cy), (major, minor), degrees).

    That is the convention of the common computer-vision drawing call for ellipses given as a
    rotated box: the centre, the full width and height of the box, and the rotation of its
    width, in degrees, clockwise on screen (from +x towards +y, y down). It is the same frame
    as detect's, so the values are detect's with the angle in degrees.
    """
    return [((float(e["center_x"]), float(e["center_y"])),
             (float(e["major_axis"]), float(e["minor_axis"])),
             _math.degrees(float(e["angle"]))) for e in found]


def _document():
    parameters = [_inspect.Parameter("image", _inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    lines = []
    for name, default, kind, meaning in _keywords():
        parameters.append(_inspect.Parameter(name, _inspect.Parameter.KEYWORD_ONLY,
                                             default=default))
        lines.append(f"  {name}: {kind} = {default!r}\n      {meaning}")
    detect.__signature__ = _inspect.Signature(parameters)
    detect.__doc__ = _DETECT_DOC + "\n".join(lines) + "\n"


_document()
