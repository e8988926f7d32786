#!/usr/bin/env python3
"""The cost of driving the library from Python: the same GA run and the same symbolic
regression fit as axgenetic_reference_runs makes from C++, timed on both sides (best of
several repeats) and printed with their ratio.

    PYTHONPATH=build/release/python /usr/bin/python3 python/benchmarks/overhead.py
"""

import pathlib
import subprocess
import sys
import time

import numpy as np

import axgenetic

REPEATS = 5
GA_SEED, GA_GENERATIONS, GA_POPULATION = 1, 1000, 500
SR_SEED, SR_ROWS, SR_POPULATION, SR_GENERATIONS = 1, 500, 500, 20

PROGRAM = pathlib.Path(axgenetic.__file__).resolve().parent.parent / "axgenetic_reference_runs"


def cpp_seconds(*args):
    best = float("inf")
    for _ in range(REPEATS):
        out = subprocess.run([str(PROGRAM), *map(str, args)], check=True, capture_output=True,
                             text=True).stdout
        fields = dict(line.split("=", 1) for line in out.splitlines())
        best = min(best, float(fields["seconds"]))
    return best


def best_seconds(prepare, run):
    """Best time of run(prepare()) over the repeats; only run is timed."""
    best = float("inf")
    for _ in range(REPEATS):
        subject = prepare()
        start = time.perf_counter()
        run(subject)
        best = min(best, time.perf_counter() - start)
    return best


def make_ga(form):
    """The reference program's problem, with the fitness in Python."""
    ga = axgenetic.GeneticAlgorithm()
    for i in range(4):
        ga.add_gene("integer", 10, f"x{i}", min_value=0, max_value=1000)
    ga.add_gene("boolean", 1, "flag")
    ga.initial_population = GA_POPULATION
    if form == "per individual":
        ga.fitness = lambda g: ((g[0] - 300) ** 2 + (g[1] - 300) ** 2 + (g[2] - 300) ** 2
                                + (g[3] - 300) ** 2 + (10 if g[4] else 0))
    else:
        ga.batch_fitness = lambda m: ((m[:, :4] - 300) ** 2).sum(axis=1) + 10 * m[:, 4]
    axgenetic.rand_seed(GA_SEED)
    return ga


def sr_data():
    r = np.arange(SR_ROWS)
    x0 = (r % 17) / 4.0 - 2.0
    x1 = (r * 7 % 13) / 4.0 - 1.5
    return np.column_stack([x0, x1]), x0 * x0 * x1 + 0.5 * x0 - 1.25


def main():
    if not PROGRAM.exists():
        sys.exit(f"{PROGRAM} is missing: build the axgenetic_python target first")
    rows = []
    ga_cpp = cpp_seconds("ga", GA_SEED, GA_GENERATIONS, GA_POPULATION)
    for form in ("per individual", "batch"):
        rows.append((f"GA {GA_GENERATIONS} gen x {GA_POPULATION}, fitness {form}", ga_cpp,
                     best_seconds(lambda: make_ga(form), lambda ga: ga.evolve(GA_GENERATIONS))))
    X, y = sr_data()
    rows.append((f"SR fit {SR_ROWS} rows, {SR_POPULATION} x {SR_GENERATIONS} gen",
                 cpp_seconds("sr", SR_SEED, SR_ROWS, SR_POPULATION, SR_GENERATIONS),
                 best_seconds(lambda: axgenetic.SymbolicRegressor(
                     population_size=SR_POPULATION, generations=SR_GENERATIONS,
                     random_state=SR_SEED), lambda est: est.fit(X, y))))
    print(f"{'run':<44} {'C++ s':>9} {'Python s':>9} {'ratio':>7}")
    for name, cpp, py in rows:
        print(f"{name:<44} {cpp:>9.4f} {py:>9.4f} {py / cpp:>7.2f}")


if __name__ == "__main__":
    main()
