#!/bin/sh
# Rebuilds the Iris example from the copy of the data in Debian's python3-sklearn package:
# CSV conversion with a fixed split (every third row held out), training, rule extraction, the
# FLL export of the rules and their fidelity to the network on the held-out rows.
#
# "reproduce.sh --seeds 1 2 3" trains with each of those seeds instead, in a scratch folder, and
# prints per seed the held-out accuracy, the training time, the rules and the class agreement;
# the example's files stay as they are (but the converted data sets, which come out the same).
set -eu
cd "$(dirname "$0")"
BUILD=${BUILD:-../../build/default}
TOOL=${GLEANTOOL:-$BUILD/GleanTool/GleanTool}
GLEAN=${GLEAN:-$BUILD/Ombra/Glean/Glean}
CSV=${IRIS_CSV:-/usr/lib/python3/dist-packages/sklearn/datasets/data/iris.csv}

# train SEED WEIGHTS LOG
# Two MFs for the sepal measures, three for the petal ones; the input MF centres are trained with
# a small step of their own and kept 0.15 apart, so that the MFs settle on the class borders.
train() {
    "$TOOL" train iris.dat "$2" --rules 8 --mf-in 2,2,3,3 --mf-out 2 --epochs 1000 --rate 0.1 \
        --momentum 0.9 --seed "$1" --init 0,1 --consequents positive \
        --centres input --centre-rate 0.002 --centre-gap 0.15 \
        --penalty LWF --penalty-params LEARNINGRATE=1,FORGETTINGRATE=0.0001 \
        --test iris-test.dat > "$3"
}

# The package's first line is "150,4,setosa,versicolor,virginica", not column names.
"$TOOL" csv "$CSV" iris.dat \
    --names sepal_length,sepal_width,petal_length,petal_width,species --class species \
    --holdout-every 3 --holdout iris-test.dat > /dev/null

if [ "${1:-}" = "--seeds" ]; then
    shift
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for seed in "$@"; do
        start=$(date +%s.%N)
        train "$seed" "$scratch/iris.wts" "$scratch/train.log"
        end=$(date +%s.%N)
        printf 'WeightFile = %s\nLabelFile = iris.lbl\nThresholdIn = 0.5\nThresholdOut = 0.5\nRuleFile = %s\n' \
            "$scratch/iris.wts" "$scratch/iris.rul" > "$scratch/iris.par"
        "$GLEAN" "$scratch/iris.par" > /dev/null
        "$TOOL" fidelity "$scratch/iris.wts" "$scratch/iris.rul" --data iris-test.dat \
            > "$scratch/fidelity.txt"
        echo "seed $seed: $(tail -n 1 "$scratch/train.log"), training $(echo "$start $end" |
            awk '{printf "%.2f", $2 - $1}') s, $(grep '^rules' "$scratch/fidelity.txt" |
            cut -d' ' -f1-2), $(grep '^class agreement' "$scratch/fidelity.txt")"
    done
    exit 0
fi

train 1 iris.wts train.log
tail -n 2 train.log
"$GLEAN" iris.par
"$TOOL" export iris.rul iris.fll
"$TOOL" fidelity iris.wts iris.rul --data iris-test.dat | tee fidelity.txt

# The one-command path: the same rows as plain CSV files, fitted with the default settings. The
# report's "seconds" line is the one figure that changes from run to run.
"$TOOL" fit iris-train.csv model --target species --test iris-test.csv --quiet
cat model/model.report
