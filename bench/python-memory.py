#!/usr/bin/python3
"""Peak memory of extracting a large network from Python, set against the Glean program.

Generates a network with GenerateNetwork (5,000 rules of every variable by default: a weight
file of 34 MB), then measures, each in a process of its own:

  Glean        the program on that network (its peak resident memory);
  interpreter  python3 with the package imported, nothing else done;
  save         glean.extract(...) and RuleSet.save(...): the rules streamed to the file;
  held         the same after len(rules), which makes the library hold the whole rule set;
  objects      the same after rules.rules, every rule as Python objects.

Each process reports its own peak (ru_maxrss); the program's peak is read by a bare launcher
whose own peak must stay below it. Both rule files written from Python must be the program's
byte for byte. The figure that counts: the peak of "save" minus the interpreter's is at most
the program's peak.

Usage: bench/python-memory.py [--build DIR] [--rules N] [--antecedents K] [--smoke]
  --build        the build tree (default build/default): Glean, GenerateNetwork, the package
  --rules        rule neurons of the network (default 5000)
  --antecedents  0: every variable in every rule; K: K strong conditions, thresholds 0.5
  --smoke        a tiny run for the test suite: the files are compared, no figure is judged
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]

# Runs a command and prints its peak and the launcher's own, in kilobytes.
LAUNCHER = """
import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss,
      resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
"""

# Extracts in Python; prints the peak after the import and at the end, in kilobytes.
EXTRACTION = """
import json, resource, sys
import glean
peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
imported = peak()
weights, threshold, rules_file, step = sys.argv[1:]
if step != "interpreter":
    rules = glean.extract(weights, None, float(threshold), float(threshold))
    if step in ("held", "objects"):
        len(rules)
    if step == "objects":
        objects = rules.rules
    rules.save(rules_file)
print(json.dumps({"imported": imported, "peak": peak()}))
"""


def megabytes(kilobytes):
    return f"{kilobytes / 1024:.1f} MB"


def main():
    options = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_argument("--build", type=Path, default=ROOT / "build" / "default")
    options.add_argument("--rules", type=int, default=5000)
    options.add_argument("--antecedents", type=int, default=0)
    options.add_argument("--smoke", action="store_true")
    arguments = options.parse_args()
    build = arguments.build.resolve()
    threshold = "0.5" if arguments.antecedents else "0.0"

    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        weights = work / "net.wts"
        shape = ["40", "7", "4", "7", str(arguments.antecedents)]
        subprocess.run([build / "bench" / "GenerateNetwork", str(arguments.rules), weights, *shape],
                       check=True)
        (work / "net.par").write_text(
            f"WeightFile = {weights}\nThresholdIn = {threshold}\nThresholdOut = {threshold}\n"
            f"RuleFile = {work / 'glean.rul'}\n")
        launched = subprocess.run(
            [sys.executable, "-S", "-c", LAUNCHER, build / "Ombra" / "Glean" / "Glean",
             work / "net.par"], check=True, capture_output=True, text=True).stdout.split()
        program, launcher = map(int, launched)

        environment = dict(os.environ, PYTHONPATH=str(build / "python"))
        figures = {}
        for step in ("interpreter", "save", "held", "objects"):
            output = subprocess.run(
                [sys.executable, "-c", EXTRACTION, weights, threshold, work / f"{step}.rul", step],
                check=True, capture_output=True, text=True, env=environment).stdout
            figures[step] = json.loads(output)
            if step != "interpreter":
                same = (work / f"{step}.rul").read_bytes() == (work / "glean.rul").read_bytes()
                assert same, f"the rule file of '{step}' is not the program's"

        print(f"weight file {weights.stat().st_size / 1e6:.1f} MB, {arguments.rules} rules, "
              f"rule file {(work / 'glean.rul').stat().st_size / 1e6:.1f} MB")
        print(f"Glean program peak          {megabytes(program)} "
              f"(launcher {megabytes(launcher)})")
        interpreter = figures["interpreter"]["peak"]
        print(f"python3 + glean imported    {megabytes(interpreter)}")
        for step in ("save", "held", "objects"):
            peak = figures[step]["peak"]
            print(f"{step:8s} peak {megabytes(peak):>10s}, above the interpreter "
                  f"{megabytes(peak - interpreter):>9s}")
        if arguments.smoke:
            print("python-memory smoke run: rule files identical to the program's, passed")
            return 0
        if launcher >= program:
            print("the program's peak is hidden by the launcher's own: not measured")
            return 1
        growth = figures["save"]["peak"] - interpreter
        verdict = "met" if growth <= program else "NOT met"
        print(f"extract + save above the interpreter {megabytes(growth)} against the program's "
              f"{megabytes(program)}: {verdict}")
        return 0 if growth <= program else 1


if __name__ == "__main__":
    sys.exit(main())
