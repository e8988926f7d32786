#!/usr/bin/python3
"""The ground-truth problems of regression_accuracy solved with DEAP at equal settings.

Same problems, ranges, seeds per problem, 20 training and 200 fresh test points (Keijzer-6:
x = 1..50 and 1..120), the same function set (Add Sub Mul Div Sin Cos Exp Log with the same
protected Div and Log), ephemeral random constants uniform in [-1, 1), linear scaling in
the fitness, population 1000 for 60 generations, NSGA-II on (error, size) with a size limit
of 40 nodes, crossover 0.7 and mutation 0.3 (DEAP draws one of
them per child, so their sum is at most 1; the regressor applies 0.9 and 0.3 independently); a run is solved when the model of lowest
training error has test R2 > 0.999. Prints lines like regression_accuracy's.

Run with the system python3 (Debian python3-deap, python3-numpy):
regression_deap.py [--seeds N] [--population N] [--generations N] [--only NAME]...
"""
import math
import operator
import random
import sys
import time

import numpy as np
from deap import algorithms, base, creator, gp, tools

POPULATION, GENERATIONS, MAX_SIZE = 1000, 60, 40


def pdiv(a, b):
    with np.errstate(all="ignore"):
        return np.where(b == 0, 1.0, a / np.where(b == 0, 1.0, b))


def plog(a):
    with np.errstate(all="ignore"):
        return np.where(a == 0, 0.0, np.log(np.abs(np.where(a == 0, 1.0, a))))


def pexp(a):
    with np.errstate(all="ignore"):
        return np.exp(a)


def harmonic(x):
    return sum(1.0 / i for i in range(1, int(round(x)) + 1))


PROBLEMS = [
    ("Nguyen-1", lambda x: x**3 + x**2 + x, -1, 1, False),
    ("Nguyen-2", lambda x: x**4 + x**3 + x**2 + x, -1, 1, False),
    ("Nguyen-3", lambda x: x**5 + x**4 + x**3 + x**2 + x, -1, 1, False),
    ("Nguyen-4", lambda x: x**6 + x**5 + x**4 + x**3 + x**2 + x, -1, 1, False),
    ("Nguyen-5", lambda x: math.sin(x**2) * math.cos(x) - 1, -1, 1, False),
    ("Nguyen-6", lambda x: math.sin(x) + math.sin(x + x**2), -1, 1, False),
    ("Nguyen-7", lambda x: math.log(x + 1) + math.log(x**2 + 1), 0, 2, False),
    ("Nguyen-8", lambda x: math.sqrt(x), 0, 4, False),
    ("Keijzer-6", harmonic, 1, 50, True),
]

pset = gp.PrimitiveSet("MAIN", 1)
pset.renameArguments(ARG0="x")
for f, n in ((np.add, 2), (np.subtract, 2), (np.multiply, 2), (pdiv, 2), (np.sin, 1), (np.cos, 1),
             (pexp, 1), (plog, 1)):
    pset.addPrimitive(f, n)
pset.addEphemeralConstant("c", lambda: random.uniform(-1, 1))

creator.create("Fitness", base.Fitness, weights=(-1.0, -1.0))
creator.create("Individual", gp.PrimitiveTree, fitness=creator.Fitness)


def scaled_error(ind, x, y):
    with np.errstate(all="ignore"):
        out = gp.compile(ind, pset)(x)
    out = np.broadcast_to(np.asarray(out, dtype=float), y.shape)
    if not np.all(np.isfinite(out)):
        return 1e300, None, None
    with np.errstate(all="ignore"):
        d = out - out.mean()
        var = (d * d).sum()
        slope = 0.0 if var == 0 else (d * (y - y.mean())).sum() / var
        intercept = y.mean() - slope * out.mean()
        mse = float(((intercept + slope * out - y) ** 2).mean())
    return (mse if math.isfinite(mse) else 1e300), intercept, slope


def run(problem, seed):
    name, f, low, high, grid = problem
    random.seed(1000 + seed)
    if grid:
        xtr, xte = np.arange(1, 51, dtype=float), np.arange(1, 121, dtype=float)
    else:
        xtr = np.array([random.uniform(low, high) for _ in range(20)])
        xte = np.array([random.uniform(low, high) for _ in range(200)])
    ytr, yte = np.array([f(v) for v in xtr]), np.array([f(v) for v in xte])
    random.seed(seed)
    tb = base.Toolbox()
    tb.register("expr", gp.genHalfAndHalf, pset=pset, min_=1, max_=4)
    tb.register("individual", tools.initIterate, creator.Individual, tb.expr)
    tb.register("population", tools.initRepeat, list, tb.individual)
    tb.register("evaluate", lambda ind: (scaled_error(ind, xtr, ytr)[0], len(ind)))
    tb.register("select", tools.selNSGA2)
    tb.register("mate", gp.cxOnePoint)
    tb.register("expr_mut", gp.genFull, min_=0, max_=2)
    tb.register("mutate", gp.mutUniform, expr=tb.expr_mut, pset=pset)
    limit = gp.staticLimit(key=len, max_value=MAX_SIZE)
    tb.decorate("mate", limit)
    tb.decorate("mutate", limit)
    pop = tb.population(n=POPULATION)
    pop, _ = algorithms.eaMuPlusLambda(pop, tb, mu=POPULATION, lambda_=POPULATION, cxpb=0.7,
                                       mutpb=0.3, ngen=GENERATIONS, verbose=False)
    best = min(pop, key=lambda ind: ind.fitness.values)
    _, a, b = scaled_error(best, xtr, ytr)
    if a is None:
        return False
    with np.errstate(all="ignore"):
        out = np.broadcast_to(np.asarray(gp.compile(best, pset)(xte), dtype=float), yte.shape)
    pred = a + b * out
    if not np.all(np.isfinite(pred)):
        return False
    r2 = 1 - ((pred - yte) ** 2).sum() / ((yte - yte.mean()) ** 2).sum()
    return r2 > 0.999


def main():
    global POPULATION, GENERATIONS
    seeds, only, args = 10, [], sys.argv[1:]
    while args:
        option, value = args.pop(0), args.pop(0) if args else None
        if value is None:
            sys.exit("%s needs a value" % option)
        if option == "--seeds":
            seeds = int(value)
        elif option == "--population":
            POPULATION = int(value)
        elif option == "--generations":
            GENERATIONS = int(value)
        elif option == "--only":
            only.append(value)
        else:
            sys.exit("unknown option " + option)
    print("-- ground truth, DEAP %s (NSGA-II, mu + lambda) --" % getattr(
        __import__("deap"), "__version__", "?"))
    for problem in PROBLEMS:
        if only and problem[0] not in only:
            continue
        start, cpu = time.time(), time.process_time()
        solved = sum(run(problem, s) for s in range(1, seeds + 1))
        print("%s: solved %d of %d  (DEAP; budget %d x %d evaluations per run; %.2f s per run, "
              "%.2f s cpu)" % (problem[0], solved, seeds, POPULATION, GENERATIONS + 1,
                               (time.time() - start) / seeds, (time.process_time() - cpu) / seeds),
              flush=True)


if __name__ == "__main__":
    main()
