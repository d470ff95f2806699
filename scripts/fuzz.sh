#!/bin/sh
# Builds the libFuzzer targets in build/fuzz (clang, ASan+UBSan) and runs them.
#   fuzz.sh TARGET SECONDS   fuzzes one target from its seed corpus; new inputs
#                            are kept in build/fuzz/corpus/TARGET
#   fuzz.sh --check [RUNS]   runs every target over its seed corpus plus RUNS
#                            new inputs (default 4000), as the tests do
# Targets: runlog commandline versioninfo formdescription. A crash or a failed
# check leaves its input in build/fuzz/crashes and exits non-zero.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
targets="runlog commandline versioninfo formdescription"

usage() {
    echo "usage: fuzz.sh TARGET SECONDS | fuzz.sh --check [RUNS]   (targets: $targets)" >&2
    exit 2
}

# Twelve version values of up to 600 bytes need long inputs; the run log
# target moves its input onto a 4096-byte step itself, and the grammar needs
# no long lists: long inputs there would only slow each run.
max_len() {
    case $1 in
        versioninfo) echo 9000 ;;
        runlog) echo 1500 ;;
        commandline) echo 512 ;;
        *) echo 4096 ;;
    esac
}

[ $# -ge 1 ] || usage
if [ "$1" = --check ]; then
    [ $# -le 2 ] || usage
    runs=${2:-4000}
else
    [ $# -eq 2 ] || usage
    case " $targets " in *" $1 "*) ;; *) usage ;; esac
    case $2 in ''|*[!0-9]*) usage ;; esac
fi

# The compiler is read only when the build folder is first configured.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDRO_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
mkdir -p "$build/crashes" "$build/check"

# fuzz TARGET SCRATCH OPTION...: new inputs go to SCRATCH, never to the seeds.
fuzz() {
    t=$1 scratch=$2
    shift 2
    mkdir -p "$scratch"
    "$build/fuzz/fuzz_$t" -max_len="$(max_len "$t")" -artifact_prefix="$build/crashes/$t-" \
        -print_final_stats=1 "$@" "$scratch" "$root/fuzz/corpus/$t"
}

if [ "$1" = --check ]; then
    status=0
    for t in $targets; do
        echo "--- $t"
        seeds=$(ls "$root/fuzz/corpus/$t" | wc -l)
        rm -rf "$build/check/$t" "$build/check/$t.log"
        # A fixed seed keeps the run repeatable; long runs find the new inputs.
        if fuzz "$t" "$build/check/$t" -seed=1 -runs=$((seeds + runs)) >"$build/check/$t.log" 2>&1; then
            grep -E "INITED|DONE" "$build/check/$t.log"
        else
            cat "$build/check/$t.log"
            status=1
        fi
    done
    exit $status
fi

fuzz "$1" "$build/corpus/$1" -max_total_time="$2"
