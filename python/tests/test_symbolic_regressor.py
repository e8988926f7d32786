import _thread
import copy
import pickle
import signal
import threading

import numpy as np
import pandas as pd
import pytest
import sympy

from axgenetic import SymbolicRegressor

from conftest import reference_data

SMALL = dict(population_size=60, generations=8)


def quadratic(seed, rows=80):
    rng = np.random.RandomState(seed)
    X = rng.uniform(-2, 2, size=(rows, 3))
    # Noise: an exact fit would end a run before its last generation.
    return X, X[:, 0] * X[:, 1] + 0.5 * X[:, 2] + rng.normal(0, 0.05, rows)


@pytest.mark.parametrize("seed", [1, 7, 2024])
def test_same_seed_fits_the_same_formula_as_from_cpp(reference_run, seed):
    X, y = reference_data(150)
    expected = reference_run("sr", seed, 150, 80, 6)
    est = SymbolicRegressor(population_size=80, generations=6, random_state=seed).fit(X, y)
    assert est.model_["infix"] == expected["model"]
    assert est.model_["train_mse"] == float(expected["train_mse"])


def test_every_memory_layout_fits_the_same_formula():
    X, y = quadratic(3)
    wide = np.zeros((X.shape[0], 2 * X.shape[1]))
    wide[:, ::2] = X  # a strided view, read in place
    frozen = X.copy()
    frozen.flags.writeable = False
    layouts = [X, np.asfortranarray(X), wide[:, ::2], frozen]
    formulas = {SymbolicRegressor(random_state=5, **SMALL).fit(Xl, y).formula_ for Xl in layouts}
    assert len(formulas) == 1


@pytest.mark.parametrize("copier", [lambda e: pickle.loads(pickle.dumps(e)), copy.deepcopy],
                         ids=["pickle", "deepcopy"])
def test_a_copy_predicts_identically(copier):
    X, y = quadratic(11)
    est = SymbolicRegressor(random_state=2, **SMALL).fit(X, y)
    clone = copier(est)
    X_new, _ = quadratic(12)
    np.testing.assert_array_equal(clone.predict(X_new), est.predict(X_new))
    assert clone.front_ == est.front_ and clone.formula_ == est.formula_


@pytest.mark.parametrize(
    "X, y, message",
    [
        ([[1.0, np.nan], [2.0, 3.0], [3.0, 1.0]], [1.0, 2.0, 3.0], "NaN"),
        ([[1.0, 2.0], [2.0, 3.0], [3.0, 1.0]], [1.0, np.inf, 3.0], "infinity"),
        ([1.0, 2.0, 3.0], [1.0, 2.0, 3.0], "Expected 2D array"),
        (np.ones((3, 2, 2)), [1.0, 2.0, 3.0], "dim 3"),
        ([[1.0, 2.0], [2.0, 3.0], [3.0, 1.0]], [1.0, 2.0], "inconsistent numbers of samples"),
        ([[1.0, "a"], [2.0, 3.0], [3.0, 1.0]], [1.0, 2.0, 3.0], "could not convert string"),
        ([[1.0, 2.0], [2.0, 3.0], [3.0, 1.0]], ["a", "b", "c"], "could not convert string"),
        ([[1.0, 2.0]], [1.0], "minimum of 2 is required"),
    ],
    ids=["nan-in-X", "inf-in-y", "1d-X", "3d-X", "short-y", "string-in-X", "strings-in-y",
         "one-row"],
)
def test_bad_input_raises_a_clear_value_error(X, y, message):
    with pytest.raises(ValueError, match=message):
        SymbolicRegressor(random_state=0, **SMALL).fit(X, y)


@pytest.mark.parametrize(
    "params, message",
    [
        (dict(selection="tournament"), "selection must be one of"),
        (dict(model_choice="smallest"), "model_choice must be one of"),
        (dict(random_state=-1), "non-negative"),
    ],
)
def test_bad_settings_raise_a_clear_value_error(params, message):
    X, y = quadratic(1)
    with pytest.raises(ValueError, match=message):
        SymbolicRegressor(**{**SMALL, **params}).fit(X, y)


def test_predict_refuses_a_different_number_of_features():
    X, y = quadratic(4)
    est = SymbolicRegressor(random_state=0, **SMALL).fit(X, y)
    with pytest.raises(ValueError, match="3 features"):
        est.predict(X[:, :2])


def test_dataframe_columns_name_the_formula_variables():
    X, y = quadratic(8)
    frame = pd.DataFrame(X, columns=["speed", "load", "angle"])
    est = SymbolicRegressor(random_state=3, **SMALL).fit(frame, y)
    assert list(est.feature_names_in_) == ["speed", "load", "angle"]
    expression = est.sympy()
    assert {s.name for s in expression.free_symbols} <= {"speed", "load", "angle"}
    # The SymPy expression computes the model's predictions.
    f = sympy.lambdify([sympy.Symbol(n) for n in ["speed", "load", "angle"]], expression)
    np.testing.assert_allclose(f(*X.T) * np.ones(len(y)), est.predict(frame), rtol=1e-9)


def test_unusable_column_names_fall_back_to_positional_names():
    X, y = quadratic(8)
    frame = pd.DataFrame(X, columns=["sin", "load factor", "x"])
    est = SymbolicRegressor(random_state=3, **SMALL).fit(frame, y)
    assert {s.name for s in est.sympy().free_symbols} <= {"x0", "x1", "x2"}


def test_seed_from_numpy_global_state_or_a_random_state_repeats():
    X, y = quadratic(9)
    np.random.seed(42)
    first = SymbolicRegressor(**SMALL).fit(X, y)
    np.random.seed(42)
    second = SymbolicRegressor(**SMALL).fit(X, y)
    third = SymbolicRegressor(random_state=np.random.RandomState(42), **SMALL).fit(X, y)
    assert first.seed_ == second.seed_ == third.seed_
    assert first.formula_ == second.formula_ == third.formula_


def test_constant_target_gives_the_constant_model():
    X, _ = quadratic(5)
    est = SymbolicRegressor(random_state=0, **SMALL).fit(X, np.full(len(X), 2.5))
    np.testing.assert_array_equal(est.predict(X[:4]), [2.5] * 4)
    assert est.sympy() == sympy.Float(2.5)


def test_log_has_one_entry_per_generation():
    X, y = quadratic(6)
    est = SymbolicRegressor(random_state=0, **SMALL).fit(X, y)
    frame = est.log_dataframe()
    assert list(frame["generation"]) == list(range(SMALL["generations"] + 1))
    assert (frame["best_mse"].diff().dropna() <= 0).all()


def test_ctrl_c_stops_the_fit_and_keeps_what_was_found():
    X, y = quadratic(7)
    est = SymbolicRegressor(population_size=30, generations=10**7, time_limit=60,
                            random_state=0)
    # A job started in the background ignores SIGINT, and then interrupt_main does nothing:
    # Python's own handler is put in place for the test.
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    timer = threading.Timer(1.0, _thread.interrupt_main)
    try:
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            est.fit(X, y)
    finally:
        timer.cancel()
        signal.signal(signal.SIGINT, previous)
    assert 0 < len(est.log_) < 10**7
    assert est.predict(X).shape == y.shape
