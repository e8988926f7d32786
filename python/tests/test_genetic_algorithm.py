import numpy as np
import pytest

import axgenetic


def objective(rows):
    return ((rows[:, :4] - 300) ** 2).sum(axis=1) + 10 * rows[:, 4]


def build(form):
    """The problem of the C++ reference program: four integers near 300 and a flag."""
    ga = axgenetic.GeneticAlgorithm()
    for i in range(4):
        ga.add_gene("integer", 10, f"x{i}", min_value=0, max_value=1000)
    ga.add_gene("boolean", 1, "flag")
    ga.initial_population = 40
    if form == "per_individual":
        ga.fitness = lambda g: sum((x - 300) ** 2 for x in g[:4]) + (10 if g[4] else 0)
    else:
        ga.batch_fitness = objective
    return ga


@pytest.mark.parametrize("form", ["per_individual", "batch"])
@pytest.mark.parametrize("seed", [3, 99])
def test_same_seed_is_the_same_run_as_from_cpp(reference_run, form, seed):
    expected = reference_run("ga", seed, 25, 40)
    ga = build(form)
    axgenetic.rand_seed(seed)
    ga.evolve(25)
    genes = [int(v) for v in ga.best_genes]
    assert ga.best_fitness == float(expected["best_fitness"])
    assert ",".join(map(str, genes)) == expected["best_genes"]


class Boom(RuntimeError):
    pass


@pytest.mark.parametrize("form", ["per_individual", "batch"])
def test_fitness_exception_propagates_and_leaves_the_algorithm_usable(form):
    ga = build(form)
    axgenetic.rand_seed(5)
    ga.evolve(3)
    good = ga.fitness if form == "per_individual" else ga.batch_fitness

    def failing(_):
        raise Boom("fitness exploded")

    if form == "per_individual":
        ga.fitness = failing
    else:
        ga.batch_fitness = failing
    with pytest.raises(Boom, match="fitness exploded"):
        ga.evolve(1)
    if form == "per_individual":
        ga.fitness = good
    else:
        ga.batch_fitness = good
    generation = ga.generation
    assert ga.evolve(2) == 2
    assert ga.generation == generation + 2
    # Every individual's fitness is that of its genes: none was left half evaluated.
    assert ga.min_fitness == objective(ga.population_genes()).min() == ga.best_fitness


def test_decoded_genes_reach_the_fitness_by_type():
    ga = axgenetic.GeneticAlgorithm()
    ga.add_gene("boolean", 1, "on")
    ga.add_gene("integer", 8, "count", min_value=-5, max_value=5, preserve_sign_bit=True)
    ga.add_gene("enumeration", name="colour", enumerations=["red", "green", "blue", "white"])
    ga.initial_population = 20
    seen = []
    ga.fitness = lambda g: seen.append(g) or 0.0
    axgenetic.rand_seed(1)
    ga.evolve(1)
    assert all(isinstance(g[0], bool) and isinstance(g[1], int) for g in seen)
    # Four values take three bits: indexes past the values decode to None.
    colours = ["red", "green", "blue", "white"]
    assert {g[2] for g in seen} <= {*colours, None}
    rows = ga.population_genes()
    assert rows.shape == (20, 3)
    assert set(rows[:, 0]) <= {0, 1} and set(rows[:, 2]) <= set(range(8))
    assert ga.genes[1]["min_value"] == -5 and ga.genes[1]["max_value"] == 5


@pytest.mark.parametrize(
    "setup, error, message",
    [
        (lambda ga: ga.add_gene("complex", 4), ValueError, "unknown value \"complex\""),
        (lambda ga: ga.add_gene("enumeration"), ValueError, "needs its values"),
        (lambda ga: ga.add_gene("integer", 0, "n"), ValueError, "at least one bit"),
        (lambda ga: setattr(ga, "fitness", 3), TypeError, "must be callable"),
        (lambda ga: setattr(ga, "selection_method", "best"), ValueError, "selection_method"),
        (lambda ga: ga.evolve(1), ValueError, "set fitness or batch_fitness"),
    ],
    ids=["gene-type", "enumeration-values", "gene-size", "fitness", "selection", "no-fitness"],
)
def test_bad_settings_raise_clear_errors(setup, error, message):
    ga = axgenetic.GeneticAlgorithm()
    with pytest.raises(error, match=message):
        setup(ga)


@pytest.mark.parametrize(
    "form, fitness, error, message",
    [
        ("batch", lambda m: np.zeros(len(m) - 1), ValueError, "one number per row"),
        ("per_individual", lambda g: None, TypeError, "must return a number, not NoneType"),
    ],
    ids=["batch-length", "not-a-number"],
)
def test_fitness_results_of_the_wrong_kind_are_refused(form, fitness, error, message):
    ga = build(form)
    setattr(ga, "batch_fitness" if form == "batch" else "fitness", fitness)
    with pytest.raises(error, match=message):
        ga.evolve(1)


def test_a_run_started_inside_a_fitness_is_refused_instead_of_waiting_forever():
    ga = build("per_individual")
    ga.fitness = lambda g: ga.evolve(1)
    axgenetic.rand_seed(2)
    with pytest.raises(RuntimeError, match="inside another one"):
        ga.evolve(1)
