#!/usr/bin/env bash
# Seeded faults: makes each one-line change below to the program, one at a time, in a
# scratch copy, builds it, runs the whole suite and says whether the suite caught it.
#   tests/seedfaults.sh [COMMIT]   the suite (tests/) of COMMIT, or of the working tree
# Slow (a build and a full run per fault): never part of CI.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
# file | sed script | the careless edit it stands for
faults=(
    'link/transactionengine.h|s/ReplyTimeoutTicks = 10.0f/ReplyTimeoutTicks = 11.0f/|a reply wait gives up a tick late'
    'drive/md23.h|s/{139, 28},/{139, 31},/|the right "90" turn runs three ticks longer'
    'panel/panellayout.cpp|s/Leer Brújula/Leer Brujula/|a caption loses its accent'
    'panel/portselector.h|s/"Número de Puerto invalido/"Numero de Puerto invalido/|a message loses its accent'
    'link/frames.cpp|0,/(firstRegister));/{/(firstRegister));/{h;d}};/(data.size())));/G|register and count swapped in a write frame'
    'sensors/srf02.h|s/RangingTime{70}/RangingTime{40}/|the ranging wait too short'
    'actuators/keypaddialogue.cpp|/++m_silentReads;/{n;s/return std::nullopt;/return m_engine.reply(0);/}|an unanswered keypad reading taken as a key'
    'actuators/servos.cpp|s/quint8(position % 256)),/quint8(position \/ 256)),/|a servo frame carries the high byte twice'
    'drive/drivepad.cpp|s/DeadBandHigh = 135/DeadBandHigh = 136/|the pad dead band one step wider'
    'link/transactionengine.h|s/MaxStoredReply = 999/MaxStoredReply = 998/|the reply store keeps one byte too few'
    'sim/modules/simsrf02.h|s/RangingTime{65}/RangingTime{40}/|the simulated ranger measures too briefly'
    'sim/modules/simmd23.h|s/AutoStopSeconds = 2.0/AutoStopSeconds = 2.5/|the simulated automatic stop half a second late'
    'cli/session.cpp|s/return worseOf(driven, stopped);/return driven;/|the command line hides a stop that failed'
)

# Under a folder of the same name, so that the shared compiler cache finds the objects.
top="$(mktemp -d /tmp/kestrava-faults.XXXXXX)"
scratch="$top/$(basename "$here")"
mkdir "$scratch"
git -C "$here" archive HEAD | tar -x -C "$scratch"
rm -rf "$scratch/tests"
if [ $# -gt 0 ]; then
    git -C "$here" archive "$1" tests | tar -x -C "$scratch"
else
    cp -r "$here/tests" "$scratch/tests"
fi
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
cmake -S "$scratch" -B "$scratch/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1

caught=0
for fault in "${faults[@]}"; do
    IFS='|' read -r file script what <<<"$fault"
    cp "$scratch/$file" "$scratch/$file.orig"
    sed -i "$script" "$scratch/$file"
    if cmp -s "$scratch/$file" "$scratch/$file.orig"; then
        verdict="NOT APPLIED"
    elif ! cmake --build "$scratch/build" -j2 >"$scratch/build.log" 2>&1; then
        verdict="DOES NOT BUILD"
    elif (cd "$scratch/build" && QT_QPA_PLATFORM=offscreen ctest -j2 --timeout 150 >"$scratch/test.log" 2>&1); then
        verdict="missed"
    else
        verdict="caught by $(sed -n 's/^[[:space:]]*[0-9]* - \(tst_[a-z]*\).*/\1/p' "$scratch/test.log" | tr '\n' ' ')"
        caught=$((caught + 1))
    fi
    echo "$what: $verdict"
    mv "$scratch/$file.orig" "$scratch/$file"
    touch "$scratch/$file" # newer than the faulty objects, so the next build redoes them
done
echo "caught $caught of ${#faults[@]}"
rm -rf "$top"
