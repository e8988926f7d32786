// The examples of the GA demo; each builds a genetic algorithm from genes, evolves it and
// decodes the fittest individual.
#pragma once

void RunRastrigin();
void RunKnapsack();
void RunCurveFit();
// Saves a run to a file, loads it into a fresh component and carries on evolving.
void RunPersistence();
