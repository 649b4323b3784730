#!/usr/bin/env python3
"""Times the Python module's detect on images already in memory.

    bench/quality/time_in_memory.py BUILD_DIR FOLDER [key=value ...]

Imports the module korvath from BUILD_DIR/python, reads every FOLDER/*.pbm into memory first
(korvath.read_image), then times only the korvath.detect calls on those arrays, one call per
image, with the given keyword options (each value read as an int, a float, True or False, else
kept as text). Prints one line:

    N images, X ms per library call (mean), Y ms median

When the time cannot be measured, prints "not measured (REASON)" instead and exits non-zero:
2 when the module is not built or the arguments are wrong, 3 when a keyword is not one of
detect's (the reason is then "option KEY not in the Python module"), 1 on any other error.
"""

import glob
import inspect
import os
import re
import statistics
import sys
import time

FAILED = 1
NOT_BUILT = USAGE = 2
UNKNOWN_OPTION = 3


def not_measured(reason, status):
    print(f"not measured ({reason})", flush=True)
    sys.exit(status)


def parse_value(text):
    if text in ("True", "true"):
        return True
    if text in ("False", "false"):
        return False
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text


def parse_keywords(items):
    keywords = {}
    for item in items:
        key, equals, value = item.partition("=")
        if not equals or not key.isidentifier():
            print(f"bad option {item!r}: expected key=value", file=sys.stderr)
            sys.exit(USAGE)
        keywords[key] = parse_value(value)
    return keywords


def build_interpreter(build_dir):
    """The Python the module was built for, as the build's CMake cache names it, or None."""
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt")) as cache:
            for line in cache:
                match = re.match(r"_?Python_EXECUTABLE:[A-Z]+=(.+)", line.strip())
                if match:
                    return match.group(1)
    except OSError:
        pass
    return None


def import_module(build_dir):
    """The module built in BUILD_DIR/python, or a "not measured" line when it is not built."""
    try:
        import numpy  # noqa: F401  (the module's arrays need it)
    except ImportError:
        wanted = build_interpreter(build_dir) or "the Python the module was built for"
        not_measured(f"numpy cannot be imported by {sys.executable}: run with {wanted}",
                     NOT_BUILT)
    module_dir = os.path.join(os.path.abspath(build_dir), "python")
    if not glob.glob(os.path.join(module_dir, "korvath", "_korvath*.so")):
        not_measured(f"Python package not built: no korvath/_korvath*.so in {module_dir}; build "
                     f"it with cmake --build {build_dir} --target korvath_python_package",
                     NOT_BUILT)
    sys.path.insert(0, module_dir)
    try:
        import korvath
    except ImportError as error:
        not_measured(f"cannot import the Python module from {module_dir}: {error}", NOT_BUILT)
    if os.path.dirname(os.path.dirname(os.path.abspath(korvath.__file__))) != module_dir:
        not_measured(f"imported {korvath.__file__}, not the module of {module_dir}", NOT_BUILT)
    return korvath


def detect_keywords(korvath):
    """The keyword names of detect, from its signature."""
    return set(inspect.signature(korvath.detect).parameters) - {"image"}


def main(argv):
    if len(argv) < 3:
        print(f"usage: {argv[0]} BUILD_DIR FOLDER [key=value ...]", file=sys.stderr)
        return USAGE
    build_dir, folder = argv[1], argv[2]
    keywords = parse_keywords(argv[3:])
    korvath = import_module(build_dir)

    known = detect_keywords(korvath)
    for key in keywords:
        if known and key not in known:
            not_measured(f"option {key} not in the Python module", UNKNOWN_OPTION)

    paths = sorted(glob.glob(os.path.join(folder, "*.pbm")))
    if not paths:
        not_measured(f"no .pbm images in {folder}", USAGE)
    images = [korvath.read_image(path) for path in paths]

    milliseconds = []
    for image in images:
        start = time.perf_counter()
        try:
            korvath.detect(image, **keywords)
        except (TypeError, ValueError, korvath.Error) as error:
            # A value of the wrong type, or one the program refuses: the first line says which.
            first = str(error).split("\n", 1)[0]
            options = ", ".join(f"{key}={value!r}" for key, value in keywords.items())
            not_measured(f"{type(error).__name__} from detect({options}): {first}", FAILED)
        milliseconds.append((time.perf_counter() - start) * 1000)

    print(f"{len(images)} images, {statistics.mean(milliseconds):.1f} ms per library call (mean), "
          f"{statistics.median(milliseconds):.1f} ms median", flush=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except Exception as error:  # a "not measured" line rather than a traceback
        not_measured(f"{type(error).__name__}: {error}".replace("\n", " "), FAILED)
