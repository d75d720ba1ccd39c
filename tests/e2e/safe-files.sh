#!/usr/bin/env bash
# End-to-end checks that no run loses a user's file: an output that is an input is refused
# before anything is written, and a run that fails or is killed while writing leaves the old
# file or the whole new one.
#
#   safe-files.sh CASE WORK GLEAN GLEANTOOL SOURCE SANITIZED
#
# CASE is one of the cases at the end; WORK a scratch folder (emptied first); SOURCE the
# repository; SANITIZED ON for a build with AddressSanitizer, which cannot run under a limit of
# address space. Exit code 0 passed, 1 failed, 77 skipped (the machine does not allow it).
set -uo pipefail
case=$1 work=$2 glean=$3 tool=$4 source=$5 sanitized=$6
data=$source/tests/e2e/data fan=$source/examples/fan
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run EXPECTED-CODE EXPECTED-STDERR COMMAND...: the code and standard error must be these
# exactly, standard output empty.
run() {
    local code=$1 message=$2
    shift 2
    "$@" >out.txt 2>err.txt
    local actual=$?
    [ "$actual" -eq "$code" ] || fail "$*: exit code $actual, expected $code"
    [ "$(cat err.txt)" = "$message" ] || fail "$*: standard error \"$(cat err.txt)\", expected \"$message\""
    [ ! -s out.txt ] || fail "$*: standard output \"$(cat out.txt)\""
}

# same FILE COPY: FILE still holds exactly what COPY holds.
same() {
    cmp -s "$1" "$2" || fail "$1 changed"
}

# Leftover temporaries of the atomic writer in a folder.
temporaries() {
    find "${1:-.}" -maxdepth 1 -name '.*.tmp.*' | wc -l
}

# Eight inputs and two outputs in 20 rows.
data_set() {
    {
        printf '[DataSet]\n[Rows = 20]\n[Inputs = 8]\n[ExpectedOutputs = 2]\n[Data]\n'
        awk 'BEGIN { srand(1); for (r = 0; r < 20; r++) { for (k = 0; k < 10; k++) printf "%.3f ", rand(); print "" } }'
        printf '[~Data]\n[~DataSet]\n'
    } >big.dat
}

# A network large enough that writing its rule file (4.7 MB, every variable in every rule)
# takes a good part of the run: 20,000 rules on 8 inputs and 2 outputs, trained one epoch.
big_network() {
    data_set
    "$tool" train big.dat big.wts --rules 20000 --epochs 1 --seed 1 >/dev/null ||
        { echo "cannot make the big network" >&2; exit 1; }
}

# RuleFile names the weight file, the labels file or the parameter file, by the same path, by
# another path to it, through a symbolic link or a hard link: refused, nothing written.
rule_file_is_an_input() {
    cp "$data/tiny.wts" "$data/tiny.lbl" .
    cp tiny.wts tiny.wts.orig
    cp tiny.lbl tiny.lbl.orig
    ln -s tiny.wts soft.wts
    ln tiny.wts hard.wts
    mkdir sub
    local rule role
    for rule in tiny.wts ./tiny.wts sub/../tiny.wts "$work/tiny.wts" soft.wts hard.wts; do
        printf 'WeightFile = tiny.wts\nRuleFile = %s\n' "$rule" >p.par
        run 1 "RuleFile $rule is the weight file" "$glean" p.par
    done
    printf 'WeightFile = tiny.wts\nLabelFile = tiny.lbl\nRuleFile = ./tiny.lbl\n' >p.par
    run 1 "RuleFile ./tiny.lbl is the label file" "$glean" p.par
    printf 'WeightFile = tiny.wts\nRuleFile = p.par\n' >p.par
    cp p.par p.par.orig
    run 1 "RuleFile p.par is the parameter file" "$glean" p.par
    same p.par p.par.orig
    same tiny.wts tiny.wts.orig
    same tiny.lbl tiny.lbl.orig
    [ -L soft.wts ] || fail "soft.wts is no longer a link"
    [ "$(temporaries)" -eq 0 ] || fail "a temporary was left"
    # A rule file beside them is written, through a link too.
    ln -s rules.rul link.rul
    printf 'WeightFile = tiny.wts\nRuleFile = link.rul\n' >p.par
    run 0 "" "$glean" p.par
    [ -L link.rul ] && [ -s rules.rul ] || fail "the rule file was not written through the link"
}

# A disk too small for the new rule file: the old one stays, no temporary is left. Needs a
# mount namespace of its own for a small tmpfs (unshare, as root or with user namespaces).
rule_file_on_a_full_disk() {
    mkdir small
    if ! unshare -rm sh -c "mount -t tmpfs -o size=1m tmpfs small" 2>/dev/null; then
        echo "no tmpfs can be mounted here: skipped"
        exit 77
    fi
    big_network
    printf 'WeightFile = big.wts\nRuleFile = small/big.rul\n' >p.par
    printf 'the rules of an earlier run\n' >old.rul
    # Everything in one namespace, where the tmpfs lives.
    unshare -rm bash -c '
        mount -t tmpfs -o size=1m tmpfs small || exit 2
        cp old.rul small/big.rul
        "$1" p.par >out.txt 2>err.txt
        echo $? >code.txt
        cp small/big.rul after.rul
        find small -name ".*.tmp.*" | wc -l >left.txt' _ "$glean"
    [ "$(cat code.txt)" = 1 ] || fail "exit code $(cat code.txt), expected 1"
    [ "$(cat err.txt)" = "Unable to write file small/big.rul" ] || fail "standard error: $(cat err.txt)"
    same after.rul old.rul
    [ "$(cat left.txt)" = 0 ] || fail "a temporary was left on the full disk"
}

# SIGKILL at many moments of a run writing a 4.7 MB rule file: the rule file is always the old
# one or the whole new one. Some kills must land while the temporary is being written.
rule_file_killed_while_written() {
    big_network
    printf 'WeightFile = big.wts\nRuleFile = big.rul\n' >p.par
    "$glean" p.par && mv big.rul new.rul || fail "the full run failed"
    printf 'WeightFile = big.wts\nThresholdIn = 0.9\nThresholdOut = 0.9\nRuleFile = big.rul\n' >old.par
    "$glean" old.par && mv big.rul old.rul || fail "the run for the old file failed"
    local attempt landed=0 pid
    for attempt in $(seq 1 20); do
        cp old.rul big.rul
        rm -f .big.rul.tmp.*
        "$glean" p.par &
        pid=$!
        # Half of the kills as soon as the temporary shows, the others a little later.
        until [ "$(temporaries)" -gt 0 ] || ! kill -0 "$pid" 2>/dev/null; do :; done
        [ $((attempt % 2)) -eq 0 ] && sleep "0.0$((attempt % 10))"
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        [ "$(temporaries)" -gt 0 ] && landed=$((landed + 1))
        cmp -s big.rul old.rul || cmp -s big.rul new.rul ||
            fail "attempt $attempt: the rule file is neither the old nor the new one ($(wc -c <big.rul) bytes)"
    done
    echo "kills while the temporary was written: $landed of 20"
    [ "$landed" -gt 0 ] || fail "no kill landed while the rule file was written"
}

# Standard output on a full disk: the report is lost, so the command fails.
tool_standard_output_full() {
    cp "$fan/fan.wts" "$fan/fan.rul" .
    local words
    for words in "fidelity fan.wts fan.rul --grid 5" "svg fan.rul pictures" "--help"; do
        # shellcheck disable=SC2086
        "$tool" $words >/dev/full 2>err.txt
        local code=$?
        [ "$code" -eq 1 ] || fail "$words >/dev/full: exit code $code, expected 1"
        [ "$(cat err.txt)" = "GleanTool: cannot write standard output" ] ||
            fail "$words >/dev/full: standard error \"$(cat err.txt)\""
    done
}

# Memory running out (here under a limit of address space) is a failure with a message, not
# an abort: a network within the reader's limits but of 64 million weights, in 400 MB.
tool_out_of_memory() {
    if [ "$sanitized" = ON ]; then
        echo "a sanitized build cannot run under a limit of address space: skipped"
        exit 77
    fi
    data_set
    run 1 "GleanTool: out of memory" bash -c 'ulimit -v 400000 && exec "$0" "$@"' \
        "$tool" train big.dat huge.wts --rules 250000 --mf-in 32
    [ ! -e huge.wts ] || fail "a weight file was written"
}

case $case in
rule-file-is-an-input) rule_file_is_an_input ;;
rule-file-on-a-full-disk) rule_file_on_a_full_disk ;;
rule-file-killed-while-written) rule_file_killed_while_written ;;
tool-standard-output-full) tool_standard_output_full ;;
tool-out-of-memory) tool_out_of_memory ;;
*) echo "unknown case $case" >&2; exit 1 ;;
esac
[ "$failures" -eq 0 ]
