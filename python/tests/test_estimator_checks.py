from sklearn.utils.estimator_checks import check_estimator

from axgenetic import SymbolicRegressor


def test_symbolic_regressor_meets_the_scikit_learn_contract():
    # With its real defaults: every fit of the checks is a full run.
    check_estimator(SymbolicRegressor())
