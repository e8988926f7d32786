#!/usr/bin/env python3
"""Fits formulas to noisy data, prints the Pareto front and plots it (error against size).

    PYTHONPATH=build/debug/python /usr/bin/python3 python/examples/fit_and_plot.py [out.png]
"""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed: the plot goes to a PNG file
import matplotlib.pyplot as plt
import numpy as np
from matplotlib.ticker import MaxNLocator

from axgenetic import SymbolicRegressor


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "front.png"
    rng = np.random.RandomState(0)
    X = rng.uniform(-3, 3, size=(300, 2))
    y = 1.5 * X[:, 0] ** 2 - np.sin(X[:, 1]) * X[:, 0] + rng.normal(0, 0.1, 300)

    est = SymbolicRegressor(random_state=1).fit(X, y)

    print(f"{'size':>4}  {'train MSE':>12}  formula")
    for i, f in enumerate(est.front_):
        mark = "*" if i == est.model_index_ else " "
        print(f"{f['size']:>4}{mark} {f['train_mse']:>12.6g}  {f['display']}")
    print(f"\nmodel: {est.formula_}")
    print(f"R^2 on the training data: {est.score(X, y):.4f}")

    sizes = [f["size"] for f in est.front_]
    errors = [f["train_mse"] for f in est.front_]
    fig, ax = plt.subplots(figsize=(6, 4))
    ax.step(sizes, errors, where="post", color="tab:blue")
    ax.scatter(sizes, errors, color="tab:blue", zorder=3)
    chosen = est.front_[est.model_index_]
    ax.scatter([chosen["size"]], [chosen["train_mse"]], s=120, facecolors="none",
               edgecolors="tab:red", label="model")
    ax.set_xlabel("program size (nodes)")
    ax.set_ylabel("train MSE")
    ax.set_yscale("log")
    ax.xaxis.set_major_locator(MaxNLocator(integer=True))
    ax.set_title("Pareto front")
    ax.legend()
    fig.tight_layout()
    fig.savefig(out, dpi=100)
    print(f"front plotted to {out}")


if __name__ == "__main__":
    main()
