#!/bin/sh
# Rebuilds the Iris example from the copy of the data in Debian's python3-sklearn package:
# CSV conversion with a fixed split (every third row held out), training, rule extraction, the
# FLL export of the rules and their fidelity to the network on the held-out rows.
set -eu
cd "$(dirname "$0")"
BUILD=${BUILD:-../../build/default}
TOOL=${GLEANTOOL:-$BUILD/GleanTool/GleanTool}
GLEAN=${GLEAN:-$BUILD/Ombra/Glean/Glean}
CSV=${IRIS_CSV:-/usr/lib/python3/dist-packages/sklearn/datasets/data/iris.csv}

# The package's first line is "150,4,setosa,versicolor,virginica", not column names.
"$TOOL" csv "$CSV" iris.dat \
    --names sepal_length,sepal_width,petal_length,petal_width,species --class species \
    --holdout-every 3 --holdout iris-test.dat
"$TOOL" train iris.dat iris.wts --rules 6 --mf-in 3 --mf-out 2 --epochs 500 --rate 0.1 \
    --momentum 0.9 --seed 1 --init 0,1 --consequents positive \
    --penalty LWF --penalty-params LEARNINGRATE=1,FORGETTINGRATE=0.00003 \
    --test iris-test.dat > train.log
tail -n 2 train.log
"$GLEAN" iris.par
"$TOOL" export iris.rul iris.fll
"$TOOL" fidelity iris.wts iris.rul --data iris-test.dat | tee fidelity.txt
