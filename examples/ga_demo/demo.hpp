// The examples of the GA demo; each builds a genetic algorithm from genes, evolves it and
// decodes the fittest individual.
#pragma once

void RunRastrigin();
void RunKnapsack();
void RunCurveFit();
