"""The scikit-learn estimator over the library's symbolic regressor."""

from __future__ import annotations

import keyword
import numbers
from typing import Any, Optional

import numpy as np
import numpy.typing as npt
from sklearn.base import BaseEstimator, RegressorMixin
from sklearn.utils import check_random_state
from sklearn.utils.validation import check_is_fitted

from . import _axgenetic

try:  # scikit-learn >= 1.6
    from sklearn.utils.validation import validate_data as _validate_data
except ImportError:  # older: the estimator's own method
    def _validate_data(estimator, *args, **kwargs):
        return estimator._validate_data(*args, **kwargs)


_SELECTIONS = {"nsga2": "srParetoNSGA2", "single_objective": "srSingleObjective"}
_MODEL_CHOICES = {"knee": "smKnee", "best_error": "smBestError"}


def _name_of(table, value):
    return next(key for key, enum_name in table.items() if enum_name == value.name)


# The C++ regressor's defaults are the estimator's, but for the length of the run.
_CPP = _axgenetic.SRSettings()


def _choice(name, value, table):
    if value not in table:
        raise ValueError(f"{name} must be one of {sorted(table)}, got {value!r}")
    return table[value]


class SymbolicRegressor(RegressorMixin, BaseEstimator):
    """Symbolic regression: formulas of the features that fit the target.

    A genetic programming run evolves formulas over the function set; the result is the
    Pareto front of formulas by error and size (``front_``) and a model chosen from it
    (``model_``, ``formula_``). Every parameter is a setting of the library's regressor:

    population_size, generations
        Programs per generation and generations run (0: the initial population only).
    time_limit
        Seconds after which the run stops at the end of a generation (0: none).
    function_set
        Comma-separated function names and sets ("arithmetic", "koza", "full", "Sin", ...).
    max_size, max_depth, initial_depth
        Limits of the programs: nodes, levels, and the depth of the initial ones.
    linear_scaling
        Fit an intercept and a slope to every program's output.
    optimize_constants, optimizer_iterations
        Levenberg-Marquardt on every program's constants, iterations per program.
    random_constants, constant_min, constant_max, constant_mutation_sigma
        Ephemeral random constants among the terminals, their range and mutation width.
    selection
        "nsga2" (error and size, the default) or "single_objective".
    tournament_size, crossover_probability, mutation_probability
        Breeding settings.
    model_choice, knee_tolerance
        "knee" (the smallest formula within knee_tolerance of the best error, relative)
        or "best_error".
    n_jobs
        Threads evaluating programs (1: the calling thread; the result does not depend on it).
    random_state
        None (a seed drawn from NumPy's global generator), an int (the library's seed, the
        same run as from C++), or a numpy.random.RandomState to draw the seed from.

    Attributes after fit: ``n_features_in_``, ``feature_names_in_`` (from a DataFrame),
    ``front_`` (list of dicts: size, depth, train_mse, train_r2, intercept, slope, constants,
    infix, display, sympy, latex, program), ``model_`` (the chosen one of them),
    ``model_index_``, ``formula_`` (SymPy-parsable text), ``log_`` (one dict per
    generation), ``seed_`` (the seed used).
    """

    # The fitted attributes, for type checkers (the package's typing comes from here).
    n_features_in_: int
    feature_names_in_: npt.NDArray[np.object_]
    front_: list[dict[str, Any]]
    model_: dict[str, Any]
    model_index_: int
    formula_: str
    log_: list[dict[str, Any]]
    seed_: int

    def __init__(
        self,
        population_size: int = 200,
        generations: int = 30,
        time_limit: float = _CPP.time_limit_seconds,
        function_set: str = _CPP.function_set,
        max_size: int = _CPP.max_size,
        max_depth: int = _CPP.max_depth,
        initial_depth: int = _CPP.initial_depth,
        linear_scaling: bool = _CPP.linear_scaling,
        optimize_constants: bool = _CPP.optimize_constants,
        optimizer_iterations: int = _CPP.optimizer_iterations,
        random_constants: bool = _CPP.random_constants,
        constant_min: float = _CPP.constant_min,
        constant_max: float = _CPP.constant_max,
        constant_mutation_sigma: float = _CPP.constant_mutation_sigma,
        selection: str = _name_of(_SELECTIONS, _CPP.selection),
        tournament_size: int = _CPP.tournament_size,
        crossover_probability: float = _CPP.crossover_probability,
        mutation_probability: float = _CPP.mutation_probability,
        model_choice: str = _name_of(_MODEL_CHOICES, _CPP.model_choice),
        knee_tolerance: float = _CPP.knee_tolerance,
        n_jobs: int = _CPP.threads,
        random_state: Optional[int | np.random.RandomState] = None,
    ) -> None:
        self.population_size = population_size
        self.generations = generations
        self.time_limit = time_limit
        self.function_set = function_set
        self.max_size = max_size
        self.max_depth = max_depth
        self.initial_depth = initial_depth
        self.linear_scaling = linear_scaling
        self.optimize_constants = optimize_constants
        self.optimizer_iterations = optimizer_iterations
        self.random_constants = random_constants
        self.constant_min = constant_min
        self.constant_max = constant_max
        self.constant_mutation_sigma = constant_mutation_sigma
        self.selection = selection
        self.tournament_size = tournament_size
        self.crossover_probability = crossover_probability
        self.mutation_probability = mutation_probability
        self.model_choice = model_choice
        self.knee_tolerance = knee_tolerance
        self.n_jobs = n_jobs
        self.random_state = random_state

    # --- fitting -----------------------------------------------------------------------

    def _seed(self):
        rs = self.random_state
        if isinstance(rs, numbers.Integral) and not isinstance(rs, bool):
            if rs < 0:
                raise ValueError(f"random_state must be a non-negative int, got {rs}")
            return int(rs)
        return int(check_random_state(rs).randint(0, 2**31 - 1))

    def _settings(self, seed):
        s = _axgenetic.SRSettings()
        s.population_size = self.population_size
        s.generations = self.generations
        s.time_limit_seconds = float(self.time_limit)
        s.function_set = self.function_set
        s.max_size = self.max_size
        s.max_depth = self.max_depth
        s.initial_depth = self.initial_depth
        s.linear_scaling = bool(self.linear_scaling)
        s.optimize_constants = bool(self.optimize_constants)
        s.optimizer_iterations = self.optimizer_iterations
        s.random_constants = bool(self.random_constants)
        s.constant_min = float(self.constant_min)
        s.constant_max = float(self.constant_max)
        s.constant_mutation_sigma = float(self.constant_mutation_sigma)
        s.selection = _choice("selection", self.selection, _SELECTIONS)
        s.tournament_size = self.tournament_size
        s.crossover_probability = float(self.crossover_probability)
        s.mutation_probability = float(self.mutation_probability)
        s.model_choice = _choice("model_choice", self.model_choice, _MODEL_CHOICES)
        s.knee_tolerance = float(self.knee_tolerance)
        s.threads = self.n_jobs
        s.seed = seed
        return s

    def _column_names(self):
        """The DataFrame's column names where they can name variables of a formula."""
        names = getattr(self, "feature_names_in_", None)
        if names is None:
            return []
        names = [str(n) for n in names]
        lowered = {n.lower() for n in names}
        if len(lowered) == len(names) and all(
            n.isascii() and n.isidentifier() and not keyword.iskeyword(n) for n in names
        ):
            return names
        return []

    def fit(self, X: npt.ArrayLike, y: npt.ArrayLike) -> SymbolicRegressor:
        """Evolves formulas of the columns of X that fit y; returns self.

        X is read in place when it is a float64 array (C or Fortran order, or strided).
        The GIL is released during the run; Ctrl-C ends it after the current generation,
        keeps what was found so far as the fit, and raises KeyboardInterrupt.
        """
        X, y = _validate_data(self, X, y, y_numeric=True, dtype=np.float64,
                              ensure_min_samples=2)
        y = np.ascontiguousarray(y, dtype=np.float64)
        seed = self._seed()
        settings = self._settings(seed)
        self.seed_ = seed
        if np.all(y == y[0]):
            # Nothing to evolve: the model is the constant.
            self._sr = None
            self._constant = float(y[0])
            self._names = [f"x{i}" for i in range(X.shape[1])]
            c = repr(self._constant)
            self.front_ = [dict(size=1, depth=1, train_mse=0.0, train_r2=1.0,
                                intercept=self._constant, slope=0.0, constants=[self._constant],
                                infix=c, display=c, sympy=c, latex=c, program=c)]
            self.model_index_ = 0
            self.model_ = self.front_[0]
            self.formula_ = c
            self.log_ = []
            return self
        sr = _axgenetic.Regressor()
        sr.settings = settings
        names = self._column_names()
        interrupted = None
        try:
            try:
                sr.fit(X, y, names)
            except _axgenetic.AxgeneticError as error:
                if not names or "name" not in str(error):
                    raise
                # Column names the formulas cannot use (function names): x0, x1, ...
                sr.fit(X, y, [])
        except KeyboardInterrupt as stop:
            if not sr.fitted:
                raise
            interrupted = stop
        self._sr = sr
        self._constant = None
        self._names = list(sr.feature_names)
        self.front_ = sr.front
        self.model_index_ = sr.model_index
        self.model_ = sr.model
        self.formula_ = self.model_["sympy"]
        self.log_ = sr.log
        if interrupted is not None:
            raise interrupted
        return self

    # --- prediction --------------------------------------------------------------------

    def predict(self, X: npt.ArrayLike) -> npt.NDArray[np.float64]:
        """The model's predictions for the rows of X."""
        check_is_fitted(self)
        X = _validate_data(self, X, dtype=np.float64, reset=False)
        if self._sr is None:
            return np.full(X.shape[0], self._constant)
        return self._sr.predict(X)

    # --- results -----------------------------------------------------------------------

    def sympy(self) -> Any:
        """The model as a SymPy expression (needs SymPy); features are its symbols."""
        check_is_fitted(self)
        import sympy

        symbols = {n: sympy.Symbol(n) for n in self._names}
        return sympy.parse_expr(self.formula_, local_dict=symbols)

    def log_dataframe(self) -> Any:
        """The run log as a pandas DataFrame (needs pandas), one row per generation."""
        check_is_fitted(self)
        import pandas

        return pandas.DataFrame(self.log_)

    def save_model(self, file_name: str) -> None:
        """Writes the model as the library's executor document (constants exact)."""
        check_is_fitted(self)
        if self._sr is None:
            raise ValueError("a constant model has no program to save")
        self._sr.save_model(str(file_name))

    # --- pickling: the regressor travels as its state text, every constant exact ----------

    def __getstate__(self):
        # A copy: from Python 3.11 on, object.__getstate__ returns __dict__ itself.
        state = dict(super().__getstate__())
        sr = state.pop("_sr", None)
        if sr is not None:
            state["_regressor_state"] = sr.save_state()
        return state

    def __setstate__(self, state):
        state = dict(state)
        text = state.pop("_regressor_state", None)
        super().__setstate__(state)
        if text is not None:
            self._sr = _axgenetic.Regressor()
            self._sr.load_state(text)
        elif "_constant" in state:
            self._sr = None

    def _more_tags(self):
        return {"poor_score": False}
