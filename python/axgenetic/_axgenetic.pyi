"""Type stubs of axgenetic's compiled core."""

from __future__ import annotations

import enum
from typing import Any, Callable, Optional, Sequence

import numpy as np
import numpy.typing as npt

class AxgeneticError(ValueError): ...

class GeneType(enum.IntEnum):
    gtUnknown = 0
    gtBoolean = 1
    gtInteger = 2
    gtFloat = 3
    gtEnumeration = 4

class CrossoverMethod(enum.IntEnum):
    cmGeneBoundary = 0
    cmBitBoundary = 1
    cmByteBoundary = 2
    cmWordBoundary = 3
    cmLongwordBoundary = 4

class FitnessMethod(enum.IntEnum):
    fmMinimize = 0
    fmMaximize = 1
    fmWeightedMinimize = 2
    fmWeightedMaximize = 3

class SelectionMethod(enum.IntEnum):
    smRoulette = 0
    smRandom = 1
    smTournament = 2
    smStochasticTournament = 3
    smElitist = 4
    smCustom = 5

class SRSelection(enum.IntEnum):
    srParetoNSGA2 = 0
    srSingleObjective = 1

class SRModelChoice(enum.IntEnum):
    smKnee = 0
    smBestError = 1

class SRSettings:
    population_size: int
    generations: int
    time_limit_seconds: float
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
    selection: SRSelection | str
    tournament_size: int
    crossover_probability: float
    mutation_probability: float
    model_choice: SRModelChoice | str
    knee_tolerance: float
    threads: int
    seed: int
    def __init__(self) -> None: ...

class Regressor:
    settings: SRSettings
    def __init__(self) -> None: ...
    def fit(self, X: npt.ArrayLike, y: npt.ArrayLike, names: Sequence[str] = ...) -> None: ...
    @property
    def fitted(self) -> bool: ...
    @property
    def feature_names(self) -> list[str]: ...
    @property
    def front(self) -> list[dict[str, Any]]: ...
    @property
    def model(self) -> dict[str, Any]: ...
    @property
    def model_index(self) -> int: ...
    def select_model(self, index: int) -> None: ...
    @property
    def log(self) -> list[dict[str, Any]]: ...
    @property
    def generations_run(self) -> int: ...
    @property
    def evaluations(self) -> int: ...
    @property
    def fit_seconds(self) -> float: ...
    def predict(self, X: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
    def score(self, X: npt.ArrayLike, y: npt.ArrayLike) -> float: ...
    def mse(self, X: npt.ArrayLike, y: npt.ArrayLike) -> float: ...
    def save_model(self, file_name: str) -> None: ...
    def load_model(self, file_name: str) -> None: ...
    def model_text(self) -> str: ...
    def load_model_text(self, text: str) -> None: ...
    def save_state(self) -> str: ...
    def load_state(self, text: str) -> None: ...

GeneValue = bool | int | float | str | None

class GeneticAlgorithm:
    fitness: Optional[Callable[[list[GeneValue]], float]]
    batch_fitness: Optional[Callable[[npt.NDArray[np.float64]], npt.ArrayLike]]
    initial_population: int
    initial_duplicates_retries: int
    crossover_probability: float
    mutation_probability: float
    inversion_probability: float
    elitist_pct: float
    tournament_field: int
    use_generation_limit: bool
    generation_limit: int
    use_fitness_cutoff: bool
    fitness_cutoff: float
    use_diversity_limit: bool
    diversity_limit: float
    halt: bool
    gene_size: int
    fitness_method: FitnessMethod | str
    selection_method: SelectionMethod | str
    crossover_method: CrossoverMethod | str
    def __init__(self) -> None: ...
    def add_gene(
        self,
        type: GeneType | str,
        size: int = 0,
        name: str = "",
        min_value: Optional[float] = None,
        max_value: Optional[float] = None,
        preserve_sign_bit: bool = False,
        enumerations: Optional[Sequence[str]] = None,
    ) -> int: ...
    @property
    def genes(self) -> list[dict[str, Any]]: ...
    def initialize(self) -> None: ...
    def evolve(self, generations: int = 1) -> int: ...
    @property
    def generation(self) -> int: ...
    @property
    def min_fitness(self) -> float: ...
    @property
    def max_fitness(self) -> float: ...
    @property
    def avg_fitness(self) -> float: ...
    @property
    def diversity(self) -> float: ...
    @property
    def best_fitness(self) -> float: ...
    @property
    def best_genes(self) -> list[GeneValue]: ...
    @property
    def best_bits(self) -> str: ...
    def population_genes(self) -> npt.NDArray[np.float64]: ...
    def save_text(self) -> str: ...
    def load_text(self, text: str) -> None: ...

def rand_seed(seed: int) -> None: ...
