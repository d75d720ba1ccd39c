"""scikit-learn estimators whose model is a small fuzzy rule base."""

from __future__ import annotations

import numbers

import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin, RegressorMixin
from sklearn.utils import check_random_state
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import check_is_fitted

from . import _core
from ._rules import RuleSet

try:  # scikit-learn 1.6 and later
    from sklearn.utils.validation import validate_data as _validate_data
except ImportError:  # before: a method of the estimator
    def _validate_data(estimator, *args, **kwargs):
        return estimator._validate_data(*args, **kwargs)

_DEFAULTS = _core.FIT_DEFAULTS

_COMMON_PARAMETERS = """
    max_rules : int, default={max_rules}
        The most rules the rule base may have; cross-validation on the training rows chooses
        how many it gets.
    max_conditions : int, default={max_conditions}
        The most conditions a rule may have; rules of two conditions are tried only when this
        is 2 or more.
    random_state : int, RandomState instance or None, default={seed}
        The seed of the jitter of the rows the network is trained on. An int is the seed
        itself (the default is that of ``GleanTool fit``); a RandomState instance or
        None draw one from that generator or from NumPy's global one.
""".format(**_DEFAULTS)

_HOW_IT_WORKS = """
    The rows are scaled into [0, 1] by the minimum and maximum of each column; a rule base is
    grown on them, its shape (terms per input, rules of one or two conditions, how many rules)
    chosen by cross-validation on the training rows alone; a fuzzy network is made to carry
    it, and the rules are read off that network as the program ``Glean`` reads them, then
    stated in the units of the data. Variables are named after the columns of a pandas frame
    (``feature_names_in_``), or Input1, Input2, ...; characters other than letters, digits
    and "_" become "_".
"""


class _FuzzyRuleModel(BaseEstimator):
    """What both estimators share: the settings, fitting and the fitted rule set."""

    def __init__(self, max_rules=_DEFAULTS["max_rules"],
                 max_conditions=_DEFAULTS["max_conditions"], random_state=_DEFAULTS["seed"]):
        self.max_rules = max_rules
        self.max_conditions = max_conditions
        self.random_state = random_state

    def _settings(self):
        """The settings for the library's fit; raises ValueError for one it cannot take."""
        for name in ("max_rules", "max_conditions"):
            value = getattr(self, name)
            if not isinstance(value, numbers.Integral) or isinstance(value, bool) or value < 1:
                raise ValueError(f"{name} must be a whole number of at least 1, not {value!r}")
        if isinstance(self.random_state, numbers.Integral) and not isinstance(
                self.random_state, bool):
            if self.random_state < 0:
                raise ValueError(f"random_state must not be negative, not {self.random_state}")
            seed = int(self.random_state)
        else:
            seed = int(check_random_state(self.random_state).randint(np.iinfo(np.int32).max))
        return {"max_rules": int(self.max_rules), "max_conditions": int(self.max_conditions),
                "seed": seed}

    def _fit_data(self, X, y, **checks):
        """The checked rows and targets, and the name of each input for the rules."""
        X, y = _validate_data(self, X, y, ensure_min_samples=_core.LEAST_FIT_ROWS, **checks)
        names = getattr(self, "feature_names_in_", None)
        names = [""] * X.shape[1] if names is None else [str(name) for name in names]
        return X, y, names

    def _rows(self, X):
        check_is_fitted(self)
        return _validate_data(self, X, reset=False)

    @property
    def rules_(self) -> RuleSet:
        """The fitted rule base in the units of the data (a :class:`RuleSet`)."""
        check_is_fitted(self)
        return RuleSet(self.model_.rules())


class FuzzyRuleClassifier(ClassifierMixin, _FuzzyRuleModel):
    __doc__ = """A classifier whose model is a small set of readable fuzzy if-then rules.
""" + _HOW_IT_WORKS + """
    Each class is an output variable with the terms No and Yes. :meth:`predict` is the class
    the rules give the largest output, the prediction of the extracted rules, which are the
    point of the model; :meth:`network_predict` is the prediction of the network that carries
    them.

    Parameters
    ----------""" + _COMMON_PARAMETERS + """
    Attributes
    ----------
    classes_ : ndarray of shape (n_classes,)
        The classes, sorted.
    class_prior_ : ndarray of shape (n_classes,)
        The share of each class among the training rows.
    rules_ : RuleSet
        The rules in the units of the data, one output variable per class.
    model_ : object
        The fitted model of the library (network, names and scaling).
    n_features_in_ : int
        The number of inputs.
    feature_names_in_ : ndarray of shape (n_features_in_,)
        The column names, when ``X`` was a frame whose column names are all text.

    Examples
    --------
    >>> from sklearn.datasets import load_iris
    >>> from glean import FuzzyRuleClassifier
    >>> iris = load_iris(as_frame=True)
    >>> model = FuzzyRuleClassifier().fit(iris.data, iris.target_names[iris.target])
    >>> for rule in model.rules_.rules:
    ...     print(rule)
    """

    def fit(self, X, y):
        """Fit the rule base to the rows ``X`` and their classes ``y``.

        Parameters
        ----------
        X : array-like or pandas DataFrame of shape (n_samples, n_features)
            At least ten rows of finite numbers.
        y : array-like of shape (n_samples,)
            The classes; at least two.

        Returns
        -------
        self
        """
        settings = self._settings()
        X, y, names = self._fit_data(X, y)
        check_classification_targets(y)
        self.classes_, classes = np.unique(y, return_inverse=True)
        self.class_prior_ = np.bincount(classes, minlength=len(self.classes_)) / len(classes)
        self.model_ = _core.fit_classifier(X, names, [str(c) for c in self.classes_],
                                           classes.tolist(), **settings)
        return self

    def predict_proba(self, X):
        """The rules' outputs for each class, as shares that sum to 1.

        Each output is divided by the sum of the outputs of the row (an output no rule speaks
        for counts as 0); on a row where no rule fires at all, the probabilities are the class
        priors of the training rows (``class_prior_``), and where the outputs sum to 0 the
        classes with an output share equally.

        Returns
        -------
        ndarray of shape (n_samples, n_classes)
        """
        return _core.class_probabilities(self._answers(X))

    def predict(self, X):
        """The class of the largest rule output (the first of equals) for each row.

        On a row where no rule fires, the most frequent class of the training rows.

        Returns
        -------
        ndarray of shape (n_samples,)
        """
        answers = self._answers(X)
        return self.classes_[_core.largest_outputs(answers)]

    def network_predict(self, X):
        """The class of the largest output of the trained network for each row.

        Returns
        -------
        ndarray of shape (n_samples,)
        """
        rows = self._rows(X)
        return self.classes_[_core.largest_outputs(self.model_.network_outputs(rows))]

    def _answers(self, X):
        rows = self._rows(X)
        return self.model_.rule_answers(rows, self.class_prior_.tolist())


class FuzzyRuleRegressor(RegressorMixin, _FuzzyRuleModel):
    __doc__ = """A regressor whose model is a small set of readable fuzzy if-then rules.
""" + _HOW_IT_WORKS + """
    The target is one output variable, named after ``y`` when it is a named pandas Series,
    else Target. :meth:`predict` is the prediction of the extracted rules (singleton outputs,
    conjunction by the minimum), which are the point of the model; :meth:`network_predict` is
    that of the network that carries them.

    Parameters
    ----------""" + _COMMON_PARAMETERS + """
    Attributes
    ----------
    target_mean_ : float
        The mean target of the training rows: the prediction on rows where no rule fires.
    rules_ : RuleSet
        The rules in the units of the data.
    model_ : object
        The fitted model of the library (network, names and scaling).
    n_features_in_ : int
        The number of inputs.
    feature_names_in_ : ndarray of shape (n_features_in_,)
        The column names, when ``X`` was a frame whose column names are all text.
    """

    def fit(self, X, y):
        """Fit the rule base to the rows ``X`` and their targets ``y``.

        Parameters
        ----------
        X : array-like or pandas DataFrame of shape (n_samples, n_features)
            At least ten rows of finite numbers.
        y : array-like of shape (n_samples,)
            Finite targets that are not all equal.

        Returns
        -------
        self
        """
        settings = self._settings()
        name = getattr(y, "name", None)
        X, y, names = self._fit_data(X, y, y_numeric=True)
        self.target_mean_ = float(np.mean(y))
        self.model_ = _core.fit_regressor(X, names, name if isinstance(name, str) else "",
                                          y.astype(float).tolist(), **settings)
        return self

    def predict(self, X):
        """The rules' output for each row; the mean training target where no rule fires.

        Returns
        -------
        ndarray of shape (n_samples,)
        """
        rows = self._rows(X)
        return self.model_.rule_answers(rows, [self.target_mean_])[:, 0]

    def network_predict(self, X):
        """The trained network's output for each row.

        Returns
        -------
        ndarray of shape (n_samples,)
        """
        rows = self._rows(X)
        return self.model_.network_outputs(rows)[:, 0]
