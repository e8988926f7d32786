#!/usr/bin/python3
"""The quartic workload of w2_gp_quartic in DEAP, for comparison.

x^4 + x^3 + x^2 + x from the 20 points x_i = -1 + 2i/19 with Add, Sub, Mul, protected
Div (1 when |denominator| < 1e-9), x and the constant 1; population 1000, 50 generations,
ramped half-and-half initialization of heights 2 to 6, tournaments of 7, crossover 0.9 on
consecutive pairs (one point), then subtree mutation 0.1 per child (a full tree of height
0 to 2), a height limit of 17 that keeps the parent in place of an over-deep child, and
the sum of absolute errors as the fitness, minimized.

Usage: deap_quartic.py [--seed N]. Prints the seconds of the whole run (wall and CPU) and the best error.
"""
import argparse
import operator
import random
import time

from deap import algorithms, base, creator, gp, tools


def protected_div(a, b):
    return 1.0 if abs(b) < 1e-9 else a / b


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seed", type=int, default=1)
    seed = parser.parse_args().seed

    start = time.perf_counter()
    start_cpu = time.process_time()
    random.seed(seed)
    pset = gp.PrimitiveSet("MAIN", 1)
    pset.addPrimitive(operator.add, 2, name="Add")
    pset.addPrimitive(operator.sub, 2, name="Sub")
    pset.addPrimitive(operator.mul, 2, name="Mul")
    pset.addPrimitive(protected_div, 2, name="Div")
    pset.addTerminal(1.0, name="one")
    pset.renameArguments(ARG0="x")

    creator.create("FitnessMin", base.Fitness, weights=(-1.0,))
    creator.create("Individual", gp.PrimitiveTree, fitness=creator.FitnessMin)

    points = [-1 + 2 * i / 19 for i in range(20)]
    targets = [x**4 + x**3 + x**2 + x for x in points]

    toolbox = base.Toolbox()
    toolbox.register("expr", gp.genHalfAndHalf, pset=pset, min_=2, max_=6)
    toolbox.register("individual", tools.initIterate, creator.Individual, toolbox.expr)
    toolbox.register("population", tools.initRepeat, list, toolbox.individual)
    toolbox.register("compile", gp.compile, pset=pset)

    def evaluate(individual):
        func = toolbox.compile(expr=individual)
        error = sum(abs(func(x) - y) for x, y in zip(points, targets))
        return (error if error == error and abs(error) != float("inf") else 1e30,)

    toolbox.register("evaluate", evaluate)
    toolbox.register("select", tools.selTournament, tournsize=7)
    toolbox.register("mate", gp.cxOnePoint)
    toolbox.register("expr_mut", gp.genFull, min_=0, max_=2)
    toolbox.register("mutate", gp.mutUniform, expr=toolbox.expr_mut, pset=pset)
    limit = gp.staticLimit(key=operator.attrgetter("height"), max_value=17)
    toolbox.decorate("mate", limit)
    toolbox.decorate("mutate", limit)

    population = toolbox.population(n=1000)
    hall = tools.HallOfFame(1)
    algorithms.eaSimple(population, toolbox, 0.9, 0.1, 50, halloffame=hall, verbose=False)
    seconds = time.perf_counter() - start
    print("seconds: %.4f" % seconds)
    print("cpu seconds: %.4f" % (time.process_time() - start_cpu))
    print("best error: %.6g" % hall[0].fitness.values[0])


if __name__ == "__main__":
    main()
