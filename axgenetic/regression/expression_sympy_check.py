"""Checks that SymPy reads the library's formula texts as the functions they stand for.

Usage: expression_sympy_check.py CASES, run by expression_test.cpp with /usr/bin/python3.
CASES has one line per check, tab-separated: the SymPy text of a formula, x, y and the
value the library computes there, or "call" in place of the numbers for a text that must
hold a call of an unknown function. x is substituted for the symbols x, E and x12, y for
y and age. Prints each failing line and exits 1 when any fails.
"""
import sys

from sympy import Float, Symbol, sympify
from sympy.core.function import AppliedUndef


def main(cases):
    failures = 0
    parsed = {}
    for line in open(cases):
        text, x, y, want = line.rstrip('\n').split('\t')
        if text not in parsed:
            parsed[text] = sympify(text)
        e = parsed[text]
        if want == 'call':
            ok = bool(e.atoms(AppliedUndef))
        else:
            x, y, want = Float(float(x)), Float(float(y)), float(want)
            got = float(e.subs({Symbol('x'): x, Symbol('E'): x, Symbol('x12'): x,
                                Symbol('y'): y, Symbol('age'): y}).evalf())
            ok = abs(got - want) <= 1e-12 * max(1.0, abs(want))
        if not ok:
            failures += 1
            print(text, x, y, want)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
