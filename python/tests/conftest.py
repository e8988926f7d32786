"""Shared fixtures: the C++ program that makes the same runs as the tests, and its data."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import axgenetic


def _reference_program():
    path = os.environ.get("AXGENETIC_REFERENCE_RUNS")
    if path:
        return pathlib.Path(path)
    # In the build tree the program sits beside the package folder.
    return pathlib.Path(axgenetic.__file__).resolve().parent.parent / "axgenetic_reference_runs"


@pytest.fixture(scope="session")
def reference_run():
    """Runs the C++ reference program and returns its key=value lines as a dict."""
    program = _reference_program()
    if not program.exists():
        pytest.skip(f"the C++ reference program is not built ({program})")

    def run(*args):
        out = subprocess.run([str(program), *map(str, args)], check=True, capture_output=True,
                             text=True).stdout
        return dict(line.split("=", 1) for line in out.splitlines())

    return run


def reference_data(rows):
    """The rows the C++ reference program fits: the same doubles, operation for operation."""
    r = np.arange(rows)
    x0 = (r % 17) / 4.0 - 2.0
    x1 = (r * 7 % 13) / 4.0 - 1.5
    y = x0 * x0 * x1 + 0.5 * x0 - 1.25
    return np.column_stack([x0, x1]), y
