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
        # Defaults: the C++ regressor's (TAxSRSettings), but for the run length.
        self,
        population_size: int = 200,
        generations: int = 30,
        time_limit: float = ...,
        function_set: str = ...,
        max_size: int = ...,
        max_depth: int = ...,
        initial_depth: int = ...,
        linear_scaling: bool = ...,
        optimize_constants: bool = ...,
        optimizer_iterations: int = ...,
        random_constants: bool = ...,
        constant_min: float = ...,
        constant_max: float = ...,
        constant_mutation_sigma: float = ...,
        selection: str = ...,
        tournament_size: int = ...,
        crossover_probability: float = ...,
        mutation_probability: float = ...,
        model_choice: str = ...,
        knee_tolerance: float = ...,
        n_jobs: int = ...,
        random_state: Optional[int | np.random.RandomState] = None,
    ) -> None: ...
    def fit(self, X: npt.ArrayLike, y: npt.ArrayLike) -> "SymbolicRegressor": ...
    def predict(self, X: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
    def score(self, X: npt.ArrayLike, y: npt.ArrayLike, sample_weight: Any = None) -> float: ...
    def sympy(self) -> Any: ...
    def log_dataframe(self) -> Any: ...
    def save_model(self, file_name: str) -> None: ...
