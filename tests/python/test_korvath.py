"""The Python module against the program: same ellipses, arrays in, errors raised."""

import csv
import inspect
import math
import os
import re
import signal
import subprocess
import threading
import time
import tracemalloc
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import korvath

PROGRAM = os.environ.get("KORVATH_PROGRAM", "korvath")

# Centre x, centre y, semi-axis a, semi-axis b, angle: two separate ellipses.
TRUTH = [(70.0, 60.0, 45.0, 28.0, 0.3), (190.0, 95.0, 38.0, 30.0, -0.7)]


def draw(shape=(160, 260), ellipses=TRUTH):
    """One-pixel outlines sampled densely along the parameter."""
    image = np.zeros(shape, dtype=bool)
    for cx, cy, a, b, angle in ellipses:
        t = np.linspace(0, 2 * math.pi, 4000, endpoint=False)
        x = cx + a * np.cos(t) * math.cos(angle) - b * np.sin(t) * math.sin(angle)
        y = cy + a * np.cos(t) * math.sin(angle) + b * np.sin(t) * math.cos(angle)
        image[np.rint(y).astype(int), np.rint(x).astype(int)] = True
    return image


def busy():
    """The two ellipses in salt: a search of several steps that finds one, then the other."""
    return draw((400, 600), TRUTH) | (np.random.default_rng(3).random((400, 600)) < 0.02)


def write_pbm(path, image):
    bits = np.packbits(image.astype(np.uint8), axis=1)
    path.write_bytes(f"P4\n{image.shape[1]} {image.shape[0]}\n".encode() + bits.tobytes())


def program_report(tmp_path, image, *options):
    """The ellipses the program reports for the image, as a list of CSV rows."""
    picture = tmp_path / "scene.pbm"
    write_pbm(picture, image)
    report = tmp_path / "report.csv"
    subprocess.run([PROGRAM, "-V", "0", "--report", str(report), *options, str(picture)],
                   cwd=tmp_path, check=True, stdout=subprocess.DEVNULL)
    with open(report, newline="") as f:
        return list(csv.DictReader(f))


def near_truth(found):
    centres = sorted((round(e["center_x"]), round(e["center_y"])) for e in found)
    expected = sorted((round(cx), round(cy)) for cx, cy, *_ in TRUTH)
    return all(abs(a[0] - b[0]) <= 2 and abs(a[1] - b[1]) <= 2 for a, b in zip(centres, expected))


def test_finds_both_ellipses_with_the_reports_fields():
    found = korvath.detect(draw())
    assert found.dtype.names == ("center_x", "center_y", "major_axis", "minor_axis", "angle",
                                 "completeness", "distance", "refined")
    assert len(found) == 2
    assert near_truth(found)
    assert np.all(found["major_axis"] >= found["minor_axis"])
    assert np.all(found["completeness"] > 0.5)


@pytest.mark.parametrize("options, keywords", [
    ((), {}),
    (("-e", "3000", "-C", "30"), {"evaluations": 3000, "cluster_size": 30}),
    (("--validate", "--refine"), {"validate": True, "refine": True}),
])
def test_same_ellipses_as_the_program(tmp_path, options, keywords):
    image = draw()
    rows = program_report(tmp_path, image, *options)
    found = korvath.detect(image, **keywords)
    assert len(found) == len(rows) > 0
    for row, e in zip(rows, found):
        # The report prints whole pixels as integers and reals in full precision.
        for field in ["center_x", "center_y", "major_axis", "minor_axis", "angle",
                      "completeness", "distance"]:
            assert float(row[field]) == e[field], field
        # A solution whose refit failed keeps whole pixels and is not refined.
        assert not e["refined"] or "refine" in keywords


def test_arrays_are_active_where_non_zero_whatever_their_type_and_layout():
    image = draw()
    expected = korvath.detect(image)
    edges = np.where(image, 255, 0).astype(np.uint8)
    for variant in [edges, edges.astype(np.int64) * -3, np.asfortranarray(edges),
                    np.pad(edges, ((0, 0), (0, 5)))[:, :-5], image * np.float32(0.25),
                    np.where(image, -1e-300, 0.0), edges[:, :, np.newaxis],
                    image[:, :, np.newaxis]]:
        assert np.array_equal(korvath.detect(variant), expected)


def test_bool_and_uint8_arrays_are_read_in_place():
    edges = np.zeros((3000, 3000), dtype=np.uint8)
    edges[100:104, 100:2000] = 255
    for variant in [edges, edges != 0, edges[:, :, np.newaxis]]:
        tracemalloc.start()
        try:
            korvath.detect(variant, evaluations=100)
            peak = tracemalloc.get_traced_memory()[1]
        finally:
            tracemalloc.stop()
        # numpy's allocations are traced: a copy of the array would show here.
        assert peak < edges.nbytes // 10


@pytest.mark.parametrize("bad, error", [
    (np.zeros((10, 10), dtype=complex), TypeError),
    (np.zeros((4, 10, 10), dtype=bool), ValueError),
    (np.zeros((10, 10, 3), dtype=np.uint8), ValueError),
    (np.zeros((0, 10), dtype=bool), korvath.Error),
])
def test_unusable_arrays_are_refused(bad, error):
    with pytest.raises(error):
        korvath.detect(bad)


@pytest.mark.parametrize("keywords, error, message", [
    ({"cluster_size": 0}, ValueError, "cluster_size must be at least 1"),
    ({"cluster_size": 20000}, ValueError, "cluster_size must be at most 10000"),
    ({"evaluations": -1}, ValueError, "evaluations must be at least 0"),
    ({"elite_proportion": float("nan")}, ValueError, "elite_proportion must be a finite number"),
    ({"mutation_rate": 20.0}, ValueError, "mutation_rate does not work with the other settings"),
    ({"evaluations": 1.5}, TypeError, "evaluations must be an integer, not float"),
    ({"validate": "yes"}, TypeError, "validate must be a bool, not str"),
    ({"evalutions": 100}, TypeError,
     "detect() got an unexpected keyword 'evalutions'; did you mean 'evaluations'?"),
])
def test_errors_name_the_keyword(keywords, error, message):
    with pytest.raises(error) as raised:
        korvath.detect(draw(), **keywords)
    assert str(raised.value).startswith(message)


def test_read_image_reads_what_the_program_reads(tmp_path):
    image = draw()
    picture = tmp_path / "scene.pbm"
    write_pbm(picture, image)
    read = korvath.read_image(picture)
    assert read.dtype == bool and np.array_equal(read, image)
    assert np.array_equal(korvath.detect(str(picture)), korvath.detect(image))


def test_read_image_takes_the_fewer_side_unless_one_is_forced(tmp_path):
    image = draw()
    picture = tmp_path / "edges.pgm"
    # Light edges on a dark ground, as edge detectors write them.
    grey = np.where(image, 255, 0).astype(np.uint8)
    picture.write_bytes(f"P5 {image.shape[1]} {image.shape[0]} 255\n".encode() + grey.tobytes())
    assert np.array_equal(korvath.read_image(picture), image)
    assert np.array_equal(korvath.read_image(picture, dark_is_active=True), ~image)
    assert np.array_equal(korvath.read_image(picture, light_is_active=True), image)
    with pytest.raises(korvath.Error, match="cannot both be true"):
        korvath.read_image(picture, light_is_active=True, dark_is_active=True)
    assert len(korvath.detect(str(picture))) == 2


def test_unreadable_files_raise_the_readers_message(tmp_path):
    broken = tmp_path / "broken.pbm"
    broken.write_bytes(b"P4\n10 10\n\x00")
    with pytest.raises(korvath.Error) as raised:
        korvath.read_image(broken)
    assert str(raised.value) == ("PBMB_CHECK_DATA - Fatal error!\n  Failed reading byte 1\n\n"
                                 "PBMB_READ: Fatal error!\n  PBMB_READ_DATA failed.")


def test_full_output_tells_the_budget_and_why_it_stopped():
    noisy = draw() | (np.random.default_rng(5).random((160, 260)) < 0.03)
    found, info = korvath.detect(noisy, evaluations=100, full_output=True)
    assert info["stop_reason"] == "budget"
    assert info["evaluations"] > 100
    assert info["steps"] > 0
    _, empty = korvath.detect(np.zeros((50, 50), dtype=bool), full_output=True)
    assert empty["stop_reason"] == "exhausted" and empty["evaluations"] == 0


def test_silent_unless_asked_then_streaming_as_it_prints(capsys):
    korvath.detect(draw(), evaluations=500)
    assert capsys.readouterr().out == ""
    seen = []
    korvath.detect(busy(), verbose=5, progress=lambda *step: seen.append(capsys.readouterr().out))
    assert "Starting step 1" in seen[0]
    assert "Starting step 2" in seen[1] and "Starting step 1" not in seen[1]


def test_progress_after_every_step_and_false_stops_with_what_was_found():
    calls = []

    def progress(step, evaluations, solutions):
        calls.append((step, evaluations, solutions))
        return solutions == 0

    found, info = korvath.detect(busy(), progress=progress, full_output=True)
    assert [step for step, _, _ in calls] == list(range(1, len(calls) + 1))
    assert info["steps"] == len(calls)
    assert 0 < calls[0][1] < calls[-1][1] <= info["evaluations"]
    assert info["stop_reason"] == "asked"
    assert len(found) == calls[-1][2] == 1
    with pytest.raises(ZeroDivisionError):
        korvath.detect(draw(), progress=lambda *step: 1 / 0)


def test_ctrl_c_raises_keyboard_interrupt_within_a_second():
    # Salt keeps the search busy for far longer than the test waits.
    salt = np.random.default_rng(3).random((600, 800)) < 0.03
    threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT)).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        korvath.detect(salt, evaluations=10**8)
    assert time.monotonic() - start < 1.5


def test_other_threads_run_during_a_search():
    # Salt keeps the search busy until its budget is spent.
    image = draw((400, 600), TRUTH) | (np.random.default_rng(3).random((400, 600)) < 0.02)
    started = threading.Event()

    def search():
        started.set()
        korvath.detect(image, evaluations=20000)

    worker = threading.Thread(target=search)
    worker.start()
    started.wait()
    # With the lock held through the search, this loop would hardly turn before it ends.
    turns = 0
    while worker.is_alive():
        turns += 1
    worker.join()
    assert turns > 10000


def test_a_thread_pool_gives_the_results_of_one_thread():
    images = [draw(), draw(ellipses=TRUTH[:1]), draw(ellipses=TRUTH[1:])]
    alone = [korvath.detect(image) for image in images]
    with ThreadPoolExecutor(max_workers=3) as pool:
        together = list(pool.map(korvath.detect, images))
    for a, b in zip(alone, together):
        assert np.array_equal(a, b)


def test_the_readme_example_runs(capsys):
    readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md")).read()
    example = readme.split("```python\n", 1)[1].split("```", 1)[0]
    exec(compile(example, "README.md", "exec"), {})
    printed = capsys.readouterr().out.split()
    assert [round(float(v)) for v in printed[:4]] == [150, 100, 180, 120]


def table_rows():
    """The rows of the option table the module takes: (keyword, type, default, scope)."""
    table = open(os.path.join(os.path.dirname(__file__), "..", "..", "include", "korvath",
                              "options.def")).read()
    row = re.compile(r'KORVATH_OPTION\(\w+, "([\w-]+)", "\w*", (\w+), ({}|"[^"]*"|[^,]+), '
                     r'\w+\([^)]*\), \w+, (\w+),')
    return [(name.replace("-", "_"), kind, default, scope)
            for name, kind, default, scope in row.findall(table)
            if scope in ("Both", "Library", "Preset")]


SAMPLES = {"Count": lambda d: int(d) + 1, "Whole": lambda d: int(d) + 1,
           "Real": lambda d: float(d) / 2, "Switch": lambda d: True}


@pytest.mark.parametrize("keyword, kind, default, scope", table_rows())
def test_every_table_row_is_a_keyword_with_the_tables_default(keyword, kind, default, scope):
    defaults = korvath.settings()
    if scope == "Preset":
        assert keyword not in defaults
        assert korvath.settings(**{keyword: True}) != defaults
        return
    parse = {"Count": int, "Whole": int, "Real": float, "Switch": lambda d: d == "true"}[kind]
    assert defaults[keyword] == parse(default)
    sample = SAMPLES[kind](parse(default))
    changed = korvath.settings(**{keyword: sample})
    assert changed == {**defaults, keyword: sample}


def test_robust_sets_its_preset_but_explicit_keywords_win():
    plain = korvath.settings()
    robust = korvath.settings(robust=True)
    assert robust == {**plain, "arcs": True, "validate": True, "refine": True, "max_axis": 0}
    # The default's value, given explicitly, wins too.
    assert korvath.settings(robust=True, max_axis=400)["max_axis"] == 400
    assert korvath.settings(robust=True, validate=False, max_axis=300) == {
        **robust, "validate": False, "max_axis": 300}
    assert korvath.settings(robust=False) == plain


def test_to_cv2_and_the_documented_frame():
    # x right, y down, full axes, the angle from +x towards +y (clockwise on screen).
    truth = (150.0, 90.0, 70.0, 40.0, 0.5)
    found = korvath.detect(draw((200, 300), [truth]), refine=True)
    (cx, cy), (major, minor), degrees = korvath.to_cv2(found)[0]
    assert abs(cx - 150) < 0.5 and abs(cy - 90) < 0.5
    assert abs(major - 140) < 1 and abs(minor - 80) < 1
    assert abs(degrees - math.degrees(0.5)) < 1


def test_every_keyword_is_in_the_signature_and_documented():
    signature = inspect.signature(korvath.detect)
    keywords = {**korvath.settings(), "robust": False, "progress": None, "full_output": False}
    assert {name: p.default for name, p in signature.parameters.items() if name != "image"} \
        == keywords
    doc = korvath.detect.__doc__
    for name, default in keywords.items():
        assert re.search(rf"^  {name}: .* = {re.escape(repr(default))}\n      \w", doc, re.M), name
    for field in korvath.detect(np.zeros((20, 20), dtype=bool)).dtype.names:
        assert re.search(rf"^  {field}\b", doc, re.M), field


def test_the_header_documents_every_settings_field_with_its_default():
    root = os.path.join(os.path.dirname(__file__), "..", "..", "include", "korvath")
    table = open(os.path.join(root, "options.def")).read()
    header = open(os.path.join(root, "korvath.h")).read()
    fields = re.findall(r'KORVATH_OPTION\((\w+), "[\w-]+", "\w*", \w+, ([^,]+), '
                        r'\w+\([^)]*\), \w+, (?:Both|Library),', table)
    assert len(fields) == len(korvath.settings())
    for field, default in fields:
        documented = re.search(rf"^/// - {field} \(([^ ,)]+)", header, re.M)
        assert documented, field
        given = documented.group(1)
        if default in ("true", "false"):
            assert given == default, field
        else:
            assert float(given) == float(default), field
