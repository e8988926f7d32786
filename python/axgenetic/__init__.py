"""axgenetic: genetic algorithms and symbolic regression from the axgenetic C++ library.

SymbolicRegressor is a scikit-learn estimator; GeneticAlgorithm runs the library's genetic
algorithm with a Python fitness. Both draw from the library's one global generator, so a
seeded run repeats exactly, the same as from C++.
"""

from ._axgenetic import (
    AxgeneticError,
    CrossoverMethod,
    FitnessMethod,
    GeneType,
    GeneticAlgorithm,
    Regressor,
    SelectionMethod,
    SRModelChoice,
    SRSelection,
    SRSettings,
    rand_seed,
)
from .symbolic_regressor import SymbolicRegressor

__all__ = [
    "AxgeneticError",
    "CrossoverMethod",
    "FitnessMethod",
    "GeneType",
    "GeneticAlgorithm",
    "Regressor",
    "SelectionMethod",
    "SRModelChoice",
    "SRSelection",
    "SRSettings",
    "SymbolicRegressor",
    "rand_seed",
]
