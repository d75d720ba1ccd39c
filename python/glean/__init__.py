"""Glean: fuzzy if-then rules from trained fuzzy networks and from data.

The C++ libraries of Glean, seen from Python:

- :func:`extract` reads the rules off a trained network, as the program ``Glean`` does, and
  :func:`read_rules` reads a rule file; both give a :class:`RuleSet`, whose variables and
  rules are plain Python objects, which writes the rule file (:meth:`RuleSet.save`) and the
  engine files of ``GleanTool export`` (:meth:`RuleSet.to_fll`, ``to_fis``, ``to_fcl``), and
  which runs the rules on data (:meth:`RuleSet.evaluate`).
- :class:`FuzzyRuleClassifier` and :class:`FuzzyRuleRegressor` are scikit-learn estimators
  whose model is a small rule base fitted to data (``rules_``).

Every failure the libraries report is a :class:`GleanError` (a ``ValueError``) with the
libraries' message, or an ``OSError`` for a file that cannot be opened or written.
"""

from ._core import GleanError
from ._estimators import FuzzyRuleClassifier, FuzzyRuleRegressor
from ._rules import Atom, Operation, Rule, RuleSet, Term, Variable, extract, read_rules

__all__ = ["GleanError", "RuleSet", "Variable", "Term", "Rule", "Atom", "Operation", "extract",
           "read_rules", "FuzzyRuleClassifier", "FuzzyRuleRegressor"]
