"""scripts/dask-batch.py on a local cluster against the program's --report."""

import os
import shutil
import subprocess
import sys

SOURCE = os.path.join(os.path.dirname(__file__), "..", "..")
PROGRAM = os.environ.get("KORVATH_PROGRAM", "korvath")


def test_rows_equal_the_programs_and_a_failure_does_not_stop_the_rest(tmp_path):
    names = []
    for scene in ["circle", "noisy_ellipse", "two_ellipses"]:
        for name in [f"{scene}.pbm", f"a, \"quoted\" {scene}.pbm"]:
            shutil.copy(os.path.join(SOURCE, "examples", f"{scene}.pbm"), tmp_path / name)
            names.append(name)
    (tmp_path / "broken.pbm").write_bytes(b"P4\n")
    names.insert(2, "broken.pbm")
    options = ["--evaluations", "5000", "--refine"]
    subprocess.run([PROGRAM, "-V", "0", "--report", "program.csv", *options, *names],
                   cwd=tmp_path, check=True, stdout=subprocess.DEVNULL)
    batch = subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "dask-batch.py"),
                            "--report", "dask.csv", "--jobs-per-worker", "2", *options, *names],
                           cwd=tmp_path, capture_output=True, text=True, timeout=240)
    assert batch.returncode == 0, batch.stderr
    assert "broken.pbm: " in batch.stderr and "6 of 7 images searched, 1 failed" in batch.stderr
    program = (tmp_path / "program.csv").read_text()
    assert program.count("\n") > 7
    assert (tmp_path / "dask.csv").read_text() == program
