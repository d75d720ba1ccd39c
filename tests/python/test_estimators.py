"""The scikit-learn estimators: scikit-learn's own checks, and what the rules carry."""

import pickle
import warnings

import numpy as np
import pandas as pd
import pytest
from sklearn.base import clone
from sklearn.datasets import load_iris, make_regression
from sklearn.exceptions import SkipTestWarning
from sklearn.model_selection import GridSearchCV, cross_val_score
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import StandardScaler
from sklearn.utils.estimator_checks import check_estimator

import glean
from conftest import EXAMPLES
from glean import FuzzyRuleClassifier, FuzzyRuleRegressor


@pytest.mark.parametrize("estimator", [FuzzyRuleClassifier(), FuzzyRuleRegressor()],
                         ids=lambda estimator: type(estimator).__name__)
def test_scikit_learns_estimator_checks(estimator):
    with warnings.catch_warnings():
        warnings.simplefilter("error", SkipTestWarning)  # no check may be skipped
        check_estimator(estimator)


@pytest.fixture(scope="module")
def iris():
    data = load_iris(as_frame=True)
    return data.data, pd.Series(data.target_names[data.target], name="species")


def test_iris_as_gleantool_fit_reports_it_and_cross_validated():
    folder = EXAMPLES / "iris"
    train, test = (pd.read_csv(folder / f"iris-{part}.csv") for part in ("train", "test"))
    report = dict(line.split() for line in (folder / "model" / "model.report").open())
    model = FuzzyRuleClassifier().fit(train.drop(columns="species"), train["species"])
    assert len(model.rules_) == int(report["rules"])
    for part, rows in (("training", train), ("test", test)):
        X, y = rows.drop(columns="species"), rows["species"]
        assert round(model.score(X, y), 4) == float(report[f"{part}_rules_accuracy"])
        network = np.mean(model.network_predict(X) == y)
        assert round(network, 4) == float(report[f"{part}_network_accuracy"])
    # Cross-validated on all the rows: near what the fit reports for its held-out rows.
    rows = pd.concat([train, test])
    scores = cross_val_score(FuzzyRuleClassifier(), rows.drop(columns="species"),
                             rows["species"], cv=5)
    assert abs(scores.mean() - float(report["test_rules_accuracy"])) <= 0.05, scores


def test_probabilities_are_the_rule_outputs_over_their_sum(iris):
    X, y = iris
    model = FuzzyRuleClassifier().fit(X, y)
    outputs = model.rules_.evaluate(X)
    shares = np.nan_to_num(outputs)
    np.testing.assert_allclose(model.predict_proba(X), shares / shares.sum(axis=1, keepdims=True))
    # A single rule leaves rows where nothing fires: there, the training rows' class shares.
    model = FuzzyRuleClassifier(max_rules=1).fit(X.iloc[10:], y.iloc[10:])
    silent = np.all(np.isnan(model.rules_.evaluate(X)), axis=1)
    assert silent.any() and not silent.all()
    np.testing.assert_array_equal(model.class_prior_, [40 / 140, 50 / 140, 50 / 140])
    np.testing.assert_array_equal(model.predict_proba(X)[silent],
                                  np.tile(model.class_prior_, (silent.sum(), 1)))
    assert set(model.predict(X)[silent]) == {"versicolor"}


def test_feature_and_target_names_name_the_variables(iris):
    X, y = iris
    classifier = FuzzyRuleClassifier(max_rules=4).fit(X, y)
    rules = classifier.rules_
    assert [v.name for v in rules.inputs] == ["sepal_length_cm", "sepal_width_cm",
                                              "petal_length_cm", "petal_width_cm"]
    assert [v.name for v in rules.outputs] == ["setosa", "versicolor", "virginica"]
    assert 1 <= len(rules) <= 4
    assert rules.inputs[2].range == (X["petal length (cm)"].min(), X["petal length (cm)"].max())

    inputs, target = make_regression(n_samples=60, n_features=2, random_state=0)
    regressor = FuzzyRuleRegressor().fit(inputs, pd.Series(target, name="power [kW]"))
    assert [v.name for v in regressor.rules_.variables] == ["Input1", "Input2", "power_kW"]
    # The rules in the units of the data give the predictions wherever one fires.
    outputs = regressor.rules_.evaluate(inputs)[:, 0]
    fired = ~np.isnan(outputs)
    assert fired.any()
    np.testing.assert_array_equal(regressor.predict(inputs)[fired], outputs[fired])
    assert np.all(regressor.predict(inputs)[~fired] == regressor.target_mean_)


@pytest.mark.parametrize("estimator", [FuzzyRuleClassifier(random_state=3),
                                       FuzzyRuleRegressor(max_rules=5)],
                         ids=lambda estimator: type(estimator).__name__)
def test_fitted_estimators_pickle_and_clone(estimator, iris):
    X, y = iris
    X = X.copy()
    target = y if isinstance(estimator, FuzzyRuleClassifier) else X.pop("petal width (cm)")
    fitted = estimator.fit(X, target)
    again = pickle.loads(pickle.dumps(fitted))
    methods = ["predict", "network_predict"] + (["predict_proba"] * hasattr(fitted,
                                                                            "predict_proba"))
    for method in methods:
        np.testing.assert_array_equal(getattr(again, method)(X), getattr(fitted, method)(X))
    assert again.rules_.to_fll() == fitted.rules_.to_fll()
    copy = clone(fitted)
    assert copy.get_params() == fitted.get_params()
    assert not hasattr(copy, "model_") and not hasattr(copy, "rules_")


def test_pipelines_and_grid_search(iris):
    X, y = iris
    search = GridSearchCV(make_pipeline(StandardScaler(), FuzzyRuleClassifier()),
                          {"fuzzyruleclassifier__max_rules": [2, 6]}, cv=3).fit(X, y)
    assert search.best_params_["fuzzyruleclassifier__max_rules"] in (2, 6)
    assert search.score(X, y) >= 0.9


def test_defaults_and_settings_the_library_cannot_take():
    assert FuzzyRuleClassifier().get_params() == {"max_rules": 10, "max_conditions": 4,
                                                  "random_state": 1}
    X, y = np.random.RandomState(0).uniform(size=(20, 2)), np.arange(20) % 2
    for settings in [{"max_rules": 0}, {"max_conditions": 1.5}, {"random_state": -1}]:
        with pytest.raises(ValueError):
            FuzzyRuleClassifier(**settings).fit(X, y)
    with pytest.raises(glean.GleanError, match=r"^Need at least two classes \(Bad Data; "):
        FuzzyRuleClassifier().fit(X, np.zeros(20))
