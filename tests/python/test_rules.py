"""The low-level package: extraction, rule files, exports and evaluation against the programs."""

import pickle
import shutil
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import glean
from conftest import E2E, EXAMPLES, read_parameters

# Every run of Glean whose rule file is kept: the examples and the golden end-to-end cases.
RUNS = [(EXAMPLES / "fan", "fan.par", EXAMPLES / "fan" / "fan.rul"),
        (EXAMPLES / "iris", "iris.par", EXAMPLES / "iris" / "iris.rul")]
for case in sorted((E2E / "cases").iterdir()):
    for produced in sorted(case.glob("expected/*")):
        RUNS.append((case, "param.txt", produced))


def extract_run(folder, parameter_file):
    """The rules the parameter file asks for, its files taken from the case or the shared data."""
    parameters = read_parameters(folder / parameter_file)

    def located(name):
        return folder / name if (folder / name).exists() else E2E / "data" / name

    return glean.extract(
        located(parameters["weightfile"]),
        located(parameters["labelfile"]) if "labelfile" in parameters else None,
        float(parameters.get("thresholdin", 0.0)), float(parameters.get("thresholdout", 0.0)))


@pytest.mark.parametrize("folder, parameter_file, expected", RUNS,
                         ids=[f"{run[0].name}-{run[2].name}" for run in RUNS])
def test_saved_rules_are_the_programs_file(folder, parameter_file, expected, tmp_path):
    rules = extract_run(folder, parameter_file)
    rules.save(tmp_path / "streamed.rul")  # before anything looked into the rules
    assert (tmp_path / "streamed.rul").read_bytes() == expected.read_bytes()
    assert len(rules) == expected.read_text().count("\nif ")
    rules.save(tmp_path / "held.rul")
    assert (tmp_path / "held.rul").read_bytes() == expected.read_bytes()
    glean.read_rules(expected).save(tmp_path / "read.rul")
    assert (tmp_path / "read.rul").read_bytes() == expected.read_bytes()


def test_variables_and_rules_as_python_objects():
    rules = glean.read_rules(EXAMPLES / "fan" / "fan.rul")
    temperature, humidity = rules.inputs
    assert (temperature.name, temperature.range) == ("Temperature", (0.0, 1.0))
    assert [term.name for term in temperature.terms] == ["Cold", "Mild", "Hot"]
    cold, mild, hot = temperature.terms
    assert cold.shape == "LeftShoulderedTriangular"
    assert cold.parameters == {"Centre": 0.0, "RightBound": 0.47}
    assert list(mild.parameters) == ["LeftBound", "Centre", "RightBound"]
    assert hot.parameters == {"LeftBound": 0.47, "Centre": 1.0}
    assert [v.name for v in rules.variables] == ["Temperature", "Humidity", "FanSpeed"]

    first = rules.rules[0]
    assert first.conditions == (glean.Atom("Temperature", "Cold", 0.76276),
                                glean.Atom("Humidity", "Dry", 0.861636))
    assert first.antecedent.operator == "and"
    assert first.consequents == (glean.Atom("FanSpeed", "Slow", 0.816328),)
    text = (EXAMPLES / "fan" / "fan.rul").read_text()
    assert "".join(f"{rule}\n\n" for rule in rules.rules) in text


@pytest.mark.parametrize("engine", ["fll", "fis", "fcl"])
def test_exports_are_those_of_gleantool_export(engine, run_tool, tmp_path):
    run_tool("export", EXAMPLES / "fan" / "fan.rul", tmp_path / f"fan.{engine}")
    rules = extract_run(EXAMPLES / "fan", "fan.par")
    exported = getattr(rules, f"to_{engine}")(name="fan")
    assert exported == (tmp_path / f"fan.{engine}").read_text()
    assert rules.to_fll(name="iris") != exported  # the name is the engine's


@pytest.mark.parametrize("conjunction, outputs", [("minimum", "singletons"),
                                                  ("product", "triangles")])
def test_evaluate_gives_the_fidelity_tables_rule_outputs(conjunction, outputs, run_tool,
                                                         tmp_path):
    fan = EXAMPLES / "fan"
    run_tool("fidelity", fan / "fan.wts", fan / "fan.rul", "--data", fan / "samples.dat",
             "--conjunction", conjunction, "--outputs", outputs, "--table", tmp_path / "t.csv")
    # CSV: the inputs, the rule outputs, the network outputs.
    table = np.loadtxt(tmp_path / "t.csv", delimiter=",", skiprows=1)
    rules = glean.read_rules(fan / "fan.rul")
    outputs_of_rules = rules.evaluate(table[:, :2], conjunction=conjunction, outputs=outputs)
    np.testing.assert_array_equal(outputs_of_rules, table[:, 2:3])


# Files that cannot be used, with the exception and the message of the library.
def program_message(case, stream="expected.stdout"):
    lines = (E2E / "cases" / case / stream).read_text().splitlines()
    return lines[0] if len(lines) == 1 else f"{lines[0]} ({lines[1]}; {lines[2]})"


BAD_EXTRACTIONS = [
    ("absent.wts", None, OSError, "Error on File Open"),
    ("tiny.wts", "absent.lbl", OSError, "Unable to open label file {data}/absent.lbl"),
    ("run_weight_file_syntax_error/cut.wts", None, glean.GleanError,
     program_message("run_weight_file_syntax_error")),
    ("run_not_an_ombra_network/connected.wts", None, glean.GleanError,
     program_message("run_not_an_ombra_network", "expected.stderr")),
    ("tiny.wts", "run_labels_unsuitable/two-inputs.lbl", glean.GleanError,
     program_message("run_labels_unsuitable", "expected.stderr")),
    ("run_unknown_activation_function/unknown.wts", None, glean.GleanError,
     r"Internal check failed: false, file NeuralNets/ActFunctions, line \d+"),
]


@pytest.mark.parametrize("weights, labels, error, message", BAD_EXTRACTIONS)
def test_bad_files_raise_the_programs_message(weights, labels, error, message):
    def located(name):
        return E2E / "cases" / name if "/" in name else E2E / "data" / name

    with pytest.raises(error) as raised:
        glean.extract(located(weights), None if labels is None else located(labels))
    if "\\d" in message:
        assert raised.match(f"^{message}$")
    else:
        assert str(raised.value) == message.format(data=E2E / "data")
    assert raised.type is error


def test_rule_files_and_arguments_that_cannot_be_used(tmp_path):
    assert issubclass(glean.GleanError, ValueError)
    with pytest.raises(OSError, match=f"^Unable to open rule file {tmp_path}/none.rul$"):
        glean.read_rules(tmp_path / "none.rul")
    broken = tmp_path / "broken.rul"
    text = (EXAMPLES / "fan" / "fan.rul").read_text()
    broken.write_text(text.replace("  then", "  than", 1))
    with pytest.raises(glean.GleanError, match=r"^Bad Rule File \(Ill formed expression; "
                                               r"TRuleFile::LoadExpression\(2\)\)$"):
        glean.read_rules(broken)
    broken.write_text(text[:text.index("[MFList]")])
    with pytest.raises(glean.GleanError, match="^Unexpected end of file$"):
        glean.read_rules(broken)

    rules = glean.read_rules(EXAMPLES / "fan" / "fan.rul")
    with pytest.raises(OSError, match=f"^Unable to open file {tmp_path}/no/x.rul$"):
        rules.save(tmp_path / "no" / "x.rul")
    with pytest.raises(OSError, match="^Unable to write file /dev/full$"):
        rules.save("/dev/full")
    with pytest.raises(glean.GleanError, match="^expected 2 columns, got 3$"):
        rules.evaluate(np.zeros((4, 3)))
    with pytest.raises(glean.GleanError, match=r'^unknown conjunction "max" \(minimum or product\)$'):
        rules.to_fll(conjunction="max")


def test_rule_sets_pickle_as_their_rule_file(tmp_path):
    rules = extract_run(EXAMPLES / "fan", "fan.par")
    again = pickle.loads(pickle.dumps(rules))
    again.save(tmp_path / "again.rul")
    assert (tmp_path / "again.rul").read_bytes() == (EXAMPLES / "fan" / "fan.rul").read_bytes()


def test_long_calls_let_other_threads_run_and_failures_leave_the_interpreter_usable(tmp_path):
    # A weight file of long comments and half a network: slow to read, then refused.
    weights = (EXAMPLES / "fan" / "fan.wts").read_text()
    padded = tmp_path / "padded.wts"
    comment = "/* " + "0.123456789 " * 2_000_000 + "*/\n"
    padded.write_text(comment * 2 + weights[: len(weights) // 2])
    failure = []

    def extract():
        started = time.perf_counter()
        try:
            glean.extract(padded)
        except glean.GleanError as error:
            failure.append((str(error), time.perf_counter() - started))

    worker = threading.Thread(target=extract)
    worker.start()
    ticks, longest, last = 0, 0.0, time.perf_counter()
    while worker.is_alive():
        now = time.perf_counter()
        longest, last = max(longest, now - last), now
        ticks += 1
    worker.join()
    (message, took), = failure
    assert message == "Unexpected end of file"
    # While the library read the file this thread kept running, never held up for long.
    assert took > 0.05 and longest < took / 2, (took, longest, ticks)
    shutil.copy(EXAMPLES / "fan" / "fan.wts", tmp_path / "fan.wts")
    assert len(glean.extract(tmp_path / "fan.wts")) == 10
