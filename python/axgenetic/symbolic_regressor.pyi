from typing import Any, Optional

import numpy as np
import numpy.typing as npt
from sklearn.base import BaseEstimator, RegressorMixin

class SymbolicRegressor(RegressorMixin, BaseEstimator):
    population_size: int
    generations: int
    time_limit: float
    function_set: str
    max_size: int
    max_depth: int
    initial_depth: int
    linear_scaling: bool
    optimize_constants: bool
    optimizer_iterations: int
    random_constants: bool
    constant_min: float
    constant_max: float
    constant_mutation_sigma: float
    selection: str
    tournament_size: int
    crossover_probability: float
    mutation_probability: float
    model_choice: str
    knee_tolerance: float
    n_jobs: int
    random_state: Optional[int | np.random.RandomState]
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
        time_limit: float = 0.0,
        function_set: str = "arithmetic,Sin,Cos,Exp,Log",
        max_size: int = 40,
        max_depth: int = 10,
        initial_depth: int = 5,
        linear_scaling: bool = True,
        optimize_constants: bool = False,
        optimizer_iterations: int = 5,
        random_constants: bool = True,
        constant_min: float = -1.0,
        constant_max: float = 1.0,
        constant_mutation_sigma: float = 0.1,
        selection: str = "nsga2",
        tournament_size: int = 3,
        crossover_probability: float = 0.9,
        mutation_probability: float = 0.3,
        model_choice: str = "knee",
        knee_tolerance: float = 0.01,
        n_jobs: int = 1,
        random_state: Optional[int | np.random.RandomState] = None,
    ) -> None: ...
    def fit(self, X: npt.ArrayLike, y: npt.ArrayLike) -> "SymbolicRegressor": ...
    def predict(self, X: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
    def score(self, X: npt.ArrayLike, y: npt.ArrayLike, sample_weight: Any = None) -> float: ...
    def sympy(self) -> Any: ...
    def log_dataframe(self) -> Any: ...
    def save_model(self, file_name: str) -> None: ...
