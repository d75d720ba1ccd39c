"""Rule sets: extracted from a trained network, read from a rule file, or fitted to data."""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from typing import Dict, Optional, Tuple, Union

from . import _core


@dataclass(frozen=True)
class Term:
    """One fuzzy term of a variable.

    Attributes
    ----------
    name : str
        The term's name, as rules use it.
    shape : str
        The membership function's type: ``"Triangular"``, ``"LeftShoulderedTriangular"``,
        ``"RightShoulderedTriangular"``, ``"Rectangular"`` or ``"Singleton"``.
    parameters : dict
        The shape's parameters under the names the rule file uses (``LeftBound``, ``Centre``,
        ``RightBound``), in that order.
    """

    name: str
    shape: str
    parameters: Dict[str, float]


@dataclass(frozen=True)
class Variable:
    """An input or output variable of a rule set: its name, its range and its terms.

    Attributes
    ----------
    name : str
    range : tuple of float
        The lower and the upper bound.
    terms : tuple of Term
    """

    name: str
    range: Tuple[float, float]
    terms: Tuple[Term, ...]


@dataclass(frozen=True)
class Atom:
    """The statement "variable is [not] term", with the weight that selected it."""

    variable: str
    term: str
    weight: float
    negated: bool = False


@dataclass(frozen=True)
class Operation:
    """Operands joined by an operator of the rule file: ``"and"``, ``"or"`` or ``"not"``."""

    operator: str
    operands: Tuple[Union[Atom, "Operation"], ...]


@dataclass(frozen=True)
class Rule:
    """One if-then rule. ``str(rule)`` is its text in the rule file.

    Attributes
    ----------
    antecedent : Atom, Operation or None
        The condition; the rules of a network are an "and" of atoms, one per input they use.
    consequents : tuple of Atom
        What follows, on the output variables.
    """

    antecedent: Optional[Union[Atom, Operation]]
    consequents: Tuple[Atom, ...]
    text: str = field(repr=False, compare=False)

    @property
    def conditions(self) -> Tuple[Atom, ...]:
        """The atoms of the antecedent, in the order they are written."""
        atoms = []

        def collect(node):
            if isinstance(node, Atom):
                atoms.append(node)
            elif isinstance(node, Operation):
                for operand in node.operands:
                    collect(operand)

        collect(self.antecedent)
        return tuple(atoms)

    def __str__(self) -> str:
        return self.text


def _variable(name, lower, upper, terms) -> Variable:
    return Variable(name, (lower, upper),
                    tuple(Term(term, shape, dict(parameters)) for term, shape, parameters in terms))


def _expression(node):
    if node is None:
        return None
    if len(node) == 4:
        return Atom(*node)
    operator, operands = node
    return Operation(operator, tuple(_expression(operand) for operand in operands))


class RuleSet:
    """A fuzzy rule base with the membership functions of its variables.

    Made by :func:`extract` (the rules of a trained network, as the program ``Glean`` writes
    them), by :func:`read_rules` (a rule file), or by fitting a :class:`FuzzyRuleClassifier`
    or :class:`FuzzyRuleRegressor` (their ``rules_``).

    The rules of a network are read off it only when first needed: :meth:`save` on a rule set
    that has not been looked into writes them one at a time, as ``Glean`` does, without ever
    holding them all; anything that needs them all (:attr:`rules`, :meth:`evaluate`, the
    exports) reads them once, after which the network is let go.

    A rule set pickles as its rule file text, in which weights keep six significant digits and
    the parameters of the terms seven decimals.
    """

    def __init__(self, handle: _core.RuleSet):
        self._handle = handle

    @property
    def inputs(self) -> Tuple[Variable, ...]:
        """The input variables, in order."""
        return tuple(_variable(*variable) for variable in self._handle.inputs())

    @property
    def outputs(self) -> Tuple[Variable, ...]:
        """The output variables, in order."""
        return tuple(_variable(*variable) for variable in self._handle.outputs())

    @property
    def variables(self) -> Tuple[Variable, ...]:
        """The input variables, then the output variables."""
        return self.inputs + self.outputs

    @property
    def rules(self) -> Tuple[Rule, ...]:
        """The rules, in the order of the rule file."""
        return tuple(
            Rule(_expression(antecedent), tuple(Atom(*atom) for atom in consequents), text)
            for antecedent, consequents, text in self._handle.rules())

    def __len__(self) -> int:
        return self._handle.count()

    def __repr__(self) -> str:
        names = lambda variables: ", ".join(variable.name for variable in variables)
        return f"<RuleSet: inputs {names(self.inputs)}; outputs {names(self.outputs)}>"

    def save(self, path: Union[str, os.PathLike]) -> None:
        """Write the rule file ``path``, byte for byte as the program ``Glean`` writes it.

        Raises
        ------
        OSError
            The file cannot be created or written.
        """
        self._handle.save(os.fspath(path))

    def to_fll(self, name: str = "Glean", conjunction: str = "minimum",
               outputs: str = "singletons") -> str:
        """The rules as a fuzzylite engine (FLL text), as ``GleanTool export`` writes it.

        Parameters
        ----------
        name : str
            The engine's name (``GleanTool export`` takes the file name without extension).
        conjunction : {"minimum", "product"}
            How "and" joins conditions.
        outputs : {"singletons", "triangles"}
            Singleton outputs with a weighted average, or the output triangles clipped, joined
            and defuzzified by their centroid.

        Raises
        ------
        GleanError
            A rule or a term the format cannot express, or an unknown option.
        """
        return self._handle.export("fll", name, conjunction, outputs)

    def to_fis(self, name: str = "Glean", conjunction: str = "minimum",
               outputs: str = "singletons") -> str:
        """The rules as a FIS file (MATLAB style, read by Octave and fuzzylite).

        The options are those of :meth:`to_fll`. FIS holds one operator per rule: a rule that
        mixes "and" with "or" raises :class:`GleanError`.
        """
        return self._handle.export("fis", name, conjunction, outputs)

    def to_fcl(self, name: str = "Glean", conjunction: str = "minimum",
               outputs: str = "singletons") -> str:
        """The rules as an FCL file (IEC 61131-7); the options are those of :meth:`to_fll`."""
        return self._handle.export("fcl", name, conjunction, outputs)

    def evaluate(self, X, conjunction: str = "minimum", outputs: str = "singletons"):
        """Run the rule base on every row of ``X``, as ``GleanTool fidelity`` runs it.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_inputs)
            One value per input variable, in the variables' units.
        conjunction, outputs : str
            As for :meth:`to_fll`.

        Returns
        -------
        ndarray of shape (n_samples, n_outputs)
            The outputs; NaN where no rule is active for an output.
        """
        return self._handle.evaluate(X, conjunction, outputs)

    def __getstate__(self):
        return {"text": self._handle.text()}

    def __setstate__(self, state):
        self._handle = _core.rules_from_text(state["text"])


def extract(weight_file: Union[str, os.PathLike],
            label_file: Optional[Union[str, os.PathLike]] = None,
            threshold_in: float = 0.0, threshold_out: float = 0.0) -> RuleSet:
    """Extract the rules of a trained fuzzy network, as the program ``Glean`` does.

    Parameters
    ----------
    weight_file : str or path
        The network's weight file.
    label_file : str or path, optional
        The names of the variables and terms; without it they are InputA, ..., OutputA, ...
        and A, B, C, ...
    threshold_in, threshold_out : float
        A condition weight must lie above ``threshold_in`` (and above 0), a consequent weight
        above ``threshold_out``. Like ``Glean``, rounded to six decimals.

    Returns
    -------
    RuleSet
        The same rules, in the same order, as ``Glean`` writes with these parameters.

    Raises
    ------
    OSError
        A file cannot be opened.
    GleanError
        A file that is malformed, or a network and labels that do not fit; the message is
        the one ``Glean`` prints.
    """
    label = None if label_file is None else os.fspath(label_file)
    return RuleSet(_core.extract(os.fspath(weight_file), label, threshold_in, threshold_out))


def read_rules(path: Union[str, os.PathLike]) -> RuleSet:
    """Read a rule file.

    Raises
    ------
    OSError
        The file cannot be opened.
    GleanError
        The file is not a rule file; the message names what is wrong.
    """
    return RuleSet(_core.read_rules(os.fspath(path)))
