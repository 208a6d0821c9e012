#!/usr/bin/env bash
# Seeded faults: makes each one-line careless edit below in a scratch copy of the program,
# builds it and runs the suite; a fault is caught by the first test that fails twice running.
#   tests/seedfaults.sh [COMMIT]   the program and tests of COMMIT (default: the tracked files as they are)
# SEEDFAULTS_WORKERS faults at a time (default 2), each worker with its own copy and build
# folder; SEEDFAULTS_ONLY=REGEX keeps the faults it matches. Run it on a suite that passes,
# nice'd: it takes a build and up to a whole suite per fault, and is never part of CI.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
workers="${SEEDFAULTS_WORKERS:-2}"
revision="${1:-$(git -C "$here" stash create)}"
top="$(mktemp -d /tmp/kestrava-faults.XXXXXX)"
trap 'rm -rf "$top"' EXIT
touch "$top/results"
# file ~ sed script ~ the careless edit, as a user would notice it
faults=(
    'panel/panellayout.cpp ~ s/Leer Brújula/Leer Brujula/ ~ a caption loses its accent'
    'panel/portselector.h ~ s/"Número de Puerto invalido/"Numero de Puerto invalido/ ~ a message loses its accent'
    'panel/padimage.cpp ~ s/(buttons \& Qt::RightButton ? 2 : 0)/0/ ~ the pad drives while the right button is held too'
    'panel/padimage.cpp ~ s/if (!(m_held \& event->button()))/if (!(m_held \& event->buttons()))/ ~ releasing the pad sends no stop'
    'panel/controlfactory.cpp ~ s/ \&\& QFontMetrics(font).horizontalAdvance(caption) > room// ~ every caption shrunk, fitting or not'
    'panel/portcombo.cpp ~ s/index >= count()/index > count()/ ~ a saved port 9 shows no message'
    'panel/readinglog.cpp ~ s/!text.contains(u.,.) \&\& // ~ a decimal comma splits a field of the reading log'
    'panel/readinglog.cpp ~ s/QString::number(reading.index + 1)/QString::number(reading.index)/ ~ the log numbers the rangers from 0'
    'link/transactionengine.h ~ s/ReplyTimeoutTicks = 10.0f/ReplyTimeoutTicks = 11.0f/ ~ a reply wait gives up a tick late'
    'link/transactionengine.h ~ s/MaxStoredReply = 999/MaxStoredReply = 998/ ~ the reply store keeps one byte too few'
    'link/transactionengine.cpp ~ s/while (m_tickCount <= float(n))/while (m_tickCount < float(n))/ ~ every timed wait a tick short'
    'link/frames.cpp ~ 0,/(firstRegister));/{/(firstRegister));/{h;d}};/(data.size())));/G ~ register and count swapped in a write frame'
    'link/eventgate.cpp ~ s/m_deferred.push_back/m_deferred.push_front/ ~ deferred events run newest first'
    'link/eventgate.cpp ~ s/m_deferred.back().kind == kind/m_deferred.front().kind == kind/ ~ a pad move replaces a click queued behind it'
    'link/eventgate.cpp ~ s/!kind.isEmpty() \&\& !m_deferred.empty()/!m_deferred.empty()/ ~ clicks during a wait merge into one'
    'panel/eventtable.cpp ~ s/if (row.mergesDeferred)/if (false)/ ~ pad moves during a wait never merge'
    'numbers/numberreading.cpp ~ s/(s\[1\] == u.H. || s\[1\] == u.h.)/s[1] == u'"'"'H'"'"'/ ~ a lower-case &h is not hexadecimal'
    'link/addresschange.cpp ~ s/\*value < 0x00 || // ~ an address box of FFFF sends to FF'
    'link/addresschange.cpp ~ s/\*value > 0xFF)/*value >= 0xFF)/ ~ an address of FF is refused'
    'link/lowlatency.cpp ~ s/settings.flags |= ASYNC_LOW_LATENCY/settings.flags = ASYNC_LOW_LATENCY/ ~ asking for low latency drops the port'"'"'s other flags'
    'link/instep.cpp ~ s/answer.bytes.size() != replyLength || // ~ an answer with extra bytes is taken'
    'link/instep.cpp ~ s/if (answer.outcome == Outcome::TimedOut)/if (false)/ ~ after a time-out the next frame goes out at once'
    'cli/executor.cpp ~ s/result.outcome = worseOf(result.outcome, stopped);// ~ the command line hides a stop that failed'
    'cli/passes.cpp ~ s/pass >= passes.count/pass > passes.count/ ~ --count takes one reading more'
    'cli/limits.h ~ s/DefaultWatchdogMs = 1000;/DefaultWatchdogMs = 0;/ ~ the server'"'"'s watchdog off by default'
    'cli/commands.cpp ~ s/Param::Address, 0x02, 0xFE, "ADDR"}/Param::Address, 0x00, 0xFE, "ADDR"}/ ~ address 00 accepted'
    'cli/safety.cpp ~ s/if (m_motors.moving() \&\& m_motors.stop()/if (!m_motors.moving() \&\& m_motors.stop()/ ~ a server whose input ends leaves the motors running'
    'drive/md23.h ~ s/{139, 28},/{139, 31},/ ~ the right "90" turn runs three ticks longer'
    'drive/drivepad.cpp ~ s/DeadBandHigh = 135/DeadBandHigh = 136/ ~ the pad dead band one step wider'
    'drive/drivepad.cpp ~ s/DeadBandHigh = 135/DeadBandHigh = 134/ ~ the pad creeps forward at pixel 151'
    'drive/drivepad.cpp ~ s/DeadBandLow = 121/DeadBandLow = 120/ ~ the pad dead band starts one step early'
    'drive/motion.cpp ~ s/engine.writeRegister(md23::Address, reg, md23::Stop)/engine.writeRegister(md23::Address, md23::Speed1, md23::Stop)/ ~ a turn is stopped on the speed register'
    'drive/telemetry.cpp ~ /engine.discardInput();/d ~ the telemetry click keeps late bytes'
    'drive/motion.cpp ~ s/if (m_mode == md23::WheelsMode)/if (m_mode)/ ~ the wheels run in mode 3 when its stop was sent before'
    'python/kestrava/readings.py ~ s/cm_per_count(self.wheel_diameter)/cm_per_count(WHEEL_DIAMETER_CM)/ ~ travelled_since counts 10 cm wheels whatever the robot'"'"'s'
    'actuators/servos.cpp ~ s/quint8(position % 256)),/quint8(position \/ 256)),/ ~ a servo frame carries the high byte twice'
    'actuators/relays.cpp ~ s/pattern | (1u << index)/pattern ^ (1u << index)/ ~ "On" pressed again turns the relay off'
    'actuators/keypaddialogue.cpp ~ /++m_silentReads;/{n;s/return std::nullopt;/return m_engine.reply(0);/} ~ an unanswered keypad reading taken as a key'
    'actuators/lcd03.h ~ s/.9., .\*., .0., .#.}/'"'"'9'"'"', '"'"'+'"'"', '"'"'0'"'"', '"'"'#'"'"'}/ ~ the star key echoes a plus'
    'actuators/keypaddialogue.cpp ~ s/!waitForRelease(keypadRegister) || // ~ a held key is entered again and again'
    'sensors/srf02.h ~ s/RangingTime{70}/RangingTime{40}/ ~ the ranging wait too short'
    'panel/captions.cpp ~ s/Pi = 3.1416;/Pi = 3.14159265358979;/ ~ the needle turns by the exact pi'
    'sensors/thermalarray.cpp ~ s/tpa81::FirstPixel + pixel/tpa81::FirstPixel + pixel + 1/ ~ each pixel shows its neighbour'"'"'s temperature'
    'sensors/srf02.h ~ s/quint16(high \* 256 + low)/quint16(high * 255 + low)/ ~ a range above 255 cm is short'
    'sensors/CMakeLists.txt ~ s/PUBLIC kestrava_link)/PUBLIC kestrava_link Qt6::Widgets)/ ~ the sensors library links the widgets'
    'sim/modules/simsrf02.h ~ s/RangingTime{65}/RangingTime{40}/ ~ the simulated ranger measures too briefly'
    'sim/modules/simmd23.h ~ s/AutoStopSeconds = 2.0/AutoStopSeconds = 2.5/ ~ the simulated automatic stop half a second late'
    'sim/modules/simcmps03.cpp ~ s/bearingWord(now) >> 8/bearingWord(now) >> 7/ ~ the simulated compass'"'"'s high byte is wrong'
    'sim/modules/simlcd03.cpp ~ s/m_row = (m_row + 1) % Rows; return;/m_row = 0; return;/ ~ the simulated display'"'"'s return goes to the top line'
    'sim/modules/simsrf02.cpp ~ s/value >= LowestAddress \&\& !(value \& 1)/value > LowestAddress \&\& !(value \& 1)/ ~ a simulated ranger refuses the address E0'
    'sim/world/geometry.cpp ~ s/return {std::sin(radians), std::cos(radians)};/return {std::cos(radians), std::sin(radians)};/ ~ the simulated robot drives east for north'
    'sim/world/world.h ~ s/RangerReachCm = 600/RangerReachCm = 6000/ ~ the simulated rangers echo beyond their reach'
    'sim/program/latencytimer.h ~ s/PacketPayload = 62/PacketPayload = 64/ ~ the emulated latency timer holds two bytes more'
    'language/language.cpp ~ /fromEnvironment.isEmpty()/{n;s/Spanish/English/} ~ with neither --lang nor KESTRAVA_LANG, both windows in English'
    'language/language.cpp ~ s/if (!flagValue.isEmpty()) {/if (!flagValue.isEmpty() \&\& qEnvironmentVariable("KESTRAVA_LANG").isEmpty()) {/ ~ KESTRAVA_LANG beats --lang'
    'language/language.cpp ~ s/    return std::nullopt;/    return Language::Spanish;/ ~ --lang fr taken silently as Spanish'
    'drive/motion.cpp ~ s/registers\[md23::Speed1\] = registers\[md23::Speed2Turn\] = char(md23::stopFor(md23::WheelsMode));// ~ the switch to mode 0 keeps mode 1'"'"'s stop, full speed backwards'
    'python/kestrava/robot.py ~ s/if seed is not None else \[\]/if seed else []/ ~ Robot(simulate=True, seed=0) drops its seed'
    'sim/view/placement.cpp ~ s/frameNow.expandedTo(LeastFrame)/frameNow/ ~ the view sized to the screen'"'"'s height before it is framed: its bottom off the screen'
    'sim/view/buspanel.cpp ~ s/ModulesPerRow = 1;/ModulesPerRow = 2;/ ~ the view beside the panel on a laptop scrolls sideways'
    'sim/world/world.cpp ~ s/if (m_endedAt) { \/\/ the run was ended/if (false) { \/\/ the run was ended/ ~ a judged run goes on after its end'
    'python/kestrava/judgetrials.py ~ s/result, seconds = Result.TIME_LIMIT, limit/result, seconds = Result.TIME_LIMIT, run.time/ ~ a trial ended by the limit shows the run'"'"'s clock'
    'python/kestrava/judge.py ~ s/return USAGE if leaving.code else 0/return 0 if leaving.code else USAGE/ ~ --help and an unknown option swap their statuses'
    'python/kestrava/judgeclass.py ~ s/return \[future.result() for future in futures\]/return [f.result() for f in concurrent.futures.as_completed(futures)]/ ~ the trials listed in the order they finished'
    'python/kestrava/judgeclass.py ~ s/running = min(self._jobs, self._total - self._done)/running = self._jobs/ ~ near the end of a class the progress line counts every job as running'
    'python/kestrava/judgeclass.py ~ s/CORE_SHARE_USED = 0.55/CORE_SHARE_USED = 0.5/ ~ the default --jobs on 2 cores is not the figure the docs give'
    'python/kestrava/language.py ~ s/    if flag:/    if flag and not environment.get("KESTRAVA_LANG"):/ ~ KESTRAVA_LANG beats --lang in the report'
    'sim/world/world.cpp ~ s/now -= now % m_fixedStep;/now -= SimTime{0};/ ~ a stepped world moves by however its time is cut, not in fixed steps'
    'sim/program/ptyline.cpp ~ s/    if (m_clock.stepped())$/    if (false)/ ~ a stepped simulator answers in real time and its clock stands still'
    'sim/program/simulator.cpp ~ s/return m_clock.stepped() \&\& m_bus.world().overForTheJudge();/return false;/ ~ a program goes on after its judged run, and what it printed differs from trial to trial'
    'link/instep.cpp ~ s/    if (m_clock->stepped()) {/    if (false) {/ ~ a ranger'"'"'s measuring time on a stepped link passes in real time, not on the robot'"'"'s clock'
    'cli/safety.cpp ~ s/if (!stepped())/if (true)/ ~ the watchdog stops the motors in real time while a stepped program thinks'
    'python/kestrava/robot.py ~ s/if self._stepped:/if False:/ ~ on a stepped robot time.sleep takes real time and moves nothing'
    'python/kestrava/judgetrials.py ~ s/simulator.command(f"trial {limit!r}")/simulator.command("#")/ ~ a trial is timed from the first motor command, not from its program'"'"'s start'
    'python/kestrava/judgetrials.py ~ s/    ended_by_judge = process.poll() is None/    ended_by_judge = False/ ~ the judge'"'"'s own SIGTERM shown as the program'"'"'s status'
    'python/kestrava/judgetrials.py ~ s/left_on=\[\] if ended_by_judge else left_on(/left_on=[] if True else left_on(/ ~ the fan a program left on shows nowhere'
    'python/kestrava/judgeprograms.py ~ s/        compile(path.read_bytes(), program, "exec", dont_inherit=True)/        pass/ ~ a file that does not compile is started once per seed, with a simulator each'
    'python/kestrava/judgeprograms.py ~ s/for p in inside if p not in programs\]/for p in inside if False]/ ~ a class folder'"'"'s files left out without a word'
    'python/kestrava/judgemerge.py ~ s/            if key in where:/            if False:/ ~ the same file merged twice counts every trial twice'
    'python/kestrava/judgemerge.py ~ s/        if lacking and not partial:/        if False:/ ~ a program with fewer seeds ranks above those judged on all'
    'python/kestrava/judgemerge.py ~ s/    if not trials:/    if False:/ ~ a merge of nothing prints an empty table with status 0'
    'python/kestrava/judge.py ~ s/    for number in (signal.SIGINT, signal.SIGTERM):/    for number in ():/ ~ Ctrl-C or SIGTERM loses every trial that finished'
    'python/kestrava/judge.py ~ s/^    if options.report:$/    if False:/ ~ a report'"'"'s folder, window and language checked only after every trial'
    'python/kestrava/judge.py ~ s/            message += " (a program/            message = message + "" or " (a program/ ~ a program'"'"'s arguments without -- get no hint'
    'python/kestrava/display.py ~ s/    return bool(environment.get("DISPLAY") or environment.get("WAYLAND_DISPLAY"))/    return True/ ~ --view without a display starts the trials and Qt aborts'
    'python/kestrava/judgeoutputs.py ~ s/    own = f": {scoring.summary(standings\[0\])}" if len(standings) == 1 else ""/    own = ""/ ~ one program'"'"'s table gives neither its score nor its median'
    'python/kestrava/judgescores.py ~ s/            quoted = f'"'"'; {say\["last line"\]}: "{said}"'"'"'/            quoted = f": {said}"/ ~ a program'"'"'s last line reads as the judge'"'"'s verdict'
    'python/kestrava/judgereport.py ~ s/ color: #222; overflow-wrap: anywhere; }/ color: #222; }/ ~ a long line of output gives the report a horizontal scrollbar'
    'python/kestrava/judgereport.py ~ s/window.addEventListener("hashchange", openTarget); // ~ a ranking'"'"'s link leaves the program'"'"'s trials folded'
    'process/display.cpp ~ s/    return !qEnvironmentVariable("DISPLAY").isEmpty() || !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty();/    return true;/ ~ the panel and the robot view with no display end in Qt'"'"'s abort'
    'sim/world/world.cpp ~ s/    m_pathEvery \*= 2;// ~ a long run'"'"'s path thinned, then filled again at the first rate'
    'sim/world/world.cpp ~ s/i % 2 == 0 ||/i % 2 == 1 ||/ ~ a long run'"'"'s path thinned without its start'
    'sim/world/candleplaces.cpp ~ s/drawn % arena.rooms.size()/(drawn + 1) % arena.rooms.size()/ ~ seed n puts the candle in room n + 1'
    'sim/world/candleplaces.cpp ~ s/seed.value_or(0)/seed.value_or(1)/ ~ an arena of rooms alone, without a seed, draws as seed 1'
    'sim/program/simprogram.cpp ~ s/return WIFEXITED(status) ? WEXITSTATUS(status) : 1;/return 1;/ ~ a background simulator that fails before it is ready hides its status'
    'sim/program/simprogram.cpp ~ s/if (got <= 0) { \/\/ it ended/if (got < 0) { \/\/ it ended/ ~ a background simulator that failed says it runs in the background'
    'numbers/commandnumbers.cpp ~ s/ || digits.size() > 2// ~ the address 1B0 cut to B0'
    'cli/output.cpp ~ s/    if (m_format == Format::Plain)/    if (m_format != Format::Json)/ ~ probe --csv ends in a line that is no CSV'
    'cli/output.cpp ~ s/    if (result.stopUnsent)/    if (false)/ ~ a device lost during a drive: nothing says the stop was not sent'
    'drive/motion.cpp ~ s/return address == md23::Address \&\& firstRegister/return firstRegister/ ~ a ranger'"'"'s command write taken as the motors'"'"' speeds'
    'drive/motion.cpp ~ s/    if (covers(md23::Mode))/    if (address == md23::Address)/ ~ any write to the motor controller makes the next stop read its mode again'
    'drive/motion.cpp ~ s/    if (covers(md23::Speed1) || covers(md23::Speed2Turn))/    if (address == md23::Address)/ ~ the acceleration written sets the motors moving'
    'dev.sh ~ s/ || \[ "$(stat -c %a "$folder")" != 700 \]// ~ ./dev.sh run keeps a runtime folder that others may read'
    'sim/program/worldcommands.cpp ~ s/return runAnswer("ended", /return runAnswer("running", / ~ a run ended by hand said to be running'
    'launcher/simanswers.cpp ~ s/{QLatin1StringView("ended"), SimRun::State::Ended},// ~ the server cannot read a run ended by hand'
    'cli/checks.cpp ~ s/    if (line.size() > p.most)/    if (false)/ ~ kestrava-cli sim passes on a control command past its 1024 characters'
    'sim/modules/simmd23.cpp ~ s/return stored(Speed1) == stop \&\& stored(Speed2Turn) == stop;/return stored(Speed1) == stop;/ ~ the second motor running is taken as stopped'
    'python/kestrava/judgetrials.py ~ s/"--seed", "-"\]/"--seed", str(seed)]/;s/self._process.stdin.write(f"{seed}\\n")/pass/ ~ the seed on the simulator'"'"'s command line'
    'python/kestrava/sandbox.py ~ s/"--ro-bind", str(program.resolve()), self.inside(program)/"--ro-bind", str(program.resolve().parent), INSIDE_PROGRAM/ ~ a program file'"'"'s whole class folder shown to it'
    'python/kestrava/sandbox.py ~ s/arguments += \["--ro-bind", str(program.resolve())/arguments += ["--bind", str(program.resolve())/ ~ a program'"'"'s own file or folder writable'
    'python/kestrava/sandbox.py ~ s/return \["--unshare-all", /return ["--unshare-user-try", "--unshare-ipc", "--unshare-pid", "--unshare-uts", "--unshare-cgroup-try", / ~ a sandbox shares the network'
    'python/kestrava/sandbox.py ~ s/return \["--unshare-all", /return ["--unshare-user-try", "--unshare-ipc", "--unshare-net", "--unshare-uts", "--unshare-cgroup-try", / ~ a sandbox shares the process space'
    'python/kestrava/sandbox.py ~ s/(self.pids \/ "pids.max").write_text(str(bounds.processes + 2))/pass/ ~ a trial'"'"'s cgroup bounds no processes'
    'python/kestrava/sandbox.py ~ s/0 if grouped else bounds.memory, bounds.file_size,/0 if grouped else bounds.memory, 0,/ ~ no bound on a file'"'"'s size'
    'python/kestrava/sandbox.py ~ s/arguments += \["--ro-bind-try", f"\/etc\/{name}", f"\/etc\/{name}"\]/arguments += ["--ro-bind", "\/etc", "\/etc"]/ ~ all of \/etc shown to a program (its secrets to root)'
    'python/kestrava/judgeprograms.py ~ s/    path = path.resolve() if Path(program).is_dir() else path/    pass/ ~ a program folder'"'"'s main named from the judge'"'"'s folder'
    'python/kestrava/sandbox.py ~ s/                  0 if grouped else bounds.processes, 0 if grouped else bounds.memory\]/                  0, 0]/ ~ without a cgroup, nothing watches a sandbox'"'"'s processes and memory together'
)

# The tests tried first for a file's faults, the likeliest to catch them; the rest follow.
likely() {
    case "$1" in
    link/event*) echo tst_engine tst_window tst_endtoend ;;
    link/instep* | cli/*) echo tst_cli tst_server tst_instep ;;
    panel/*) echo tst_window tst_operations tst_startup tst_endtoend ;;
    python/kestrava/readings* | python/kestrava/drivebase*) echo python_drivebase python ;;
    sim/*) echo tst_simulator tst_simworld tst_latency ;;
    python/kestrava/judge* | python/kestrava/language* | python/kestrava/display*) echo python_judge python_sandbox ;;
    python/kestrava/*sandbox*) echo python_sandbox ;;
    process/display*) echo python ;;
    *) echo tst_arithmetic tst_latency tst_engine tst_keypad tst_operations ;;
    esac
}

passes() { (cd "$1" && QT_QPA_PLATFORM=offscreen ctest -R "^$2\$" --timeout 150 >/dev/null 2>&1); } # build, test

work() { # worker number
    local scratch="$top/w$1/$(basename "$here")" i file script what verdict catcher tests t
    # The same relative paths in every copy, so that the workers share the compiler cache:
    # the first builds the unchanged program, then the others find its objects.
    export CCACHE_BASEDIR="$top/w$1" CCACHE_NOHASHDIR=1 CMAKE_CXX_COMPILER_LAUNCHER=ccache
    while [ "$1" != 0 ] && [ ! -e "$top/built" ]; do sleep 10; done
    mkdir -p "$scratch"
    git -C "$here" archive "${revision:-HEAD}" | tar -x -C "$scratch"
    # Only the tests and the programs they run: no benchmark to relink after each fault.
    # (Some tests, the Python package's and the include rules, are scripts: no target.)
    cmake -S "$scratch" -B "$scratch/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold \
        >"$top/w$1.log" 2>&1
    tests=$(cd "$scratch/build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')
    targets="$(grep '^tst_' <<<"$tests") kestrava kestrava-cli kestrava-sim"
    if [ -z "$tests" ] || ! cmake --build "$scratch/build" -j"$workers" --target $targets >>"$top/w$1.log" 2>&1; then
        echo "worker $1: the unchanged program does not build:" >&2
        tail -n 5 "$top/w$1.log" >&2
        touch "$top/built"
        return
    fi
    touch "$top/built"
    for ((i = $1; i < ${#faults[@]}; i += workers)); do
        file="${faults[$i]%% ~ *}" script="${faults[$i]#* ~ }" what="${faults[$i]##* ~ }"
        script="${script% ~ *}" catcher=""
        [[ "$what" =~ ${SEEDFAULTS_ONLY:-.} ]] || continue
        cp "$scratch/$file" "$top/w$1.orig"
        sed -i "$script" "$scratch/$file"
        if cmp -s "$scratch/$file" "$top/w$1.orig"; then
            verdict="NOT APPLIED"
        elif ! cmake --build "$scratch/build" -j1 --target $targets >"$top/w$1.log" 2>&1; then
            verdict="DOES NOT BUILD"
        else
            verdict=missed
            for t in $(printf '%s\n' $(likely "$file") $tests | awk '!seen[$0]++'); do
                passes "$scratch/build" "$t" || passes "$scratch/build" "$t" || { verdict=caught catcher=$t; break; }
            done
        fi
        echo "$i|$what|$verdict|$catcher" >>"$top/results"
        cp "$top/w$1.orig" "$scratch/$file" # and newer than the faulty objects, so they are rebuilt
    done
}

started=$(date +%s)
for ((k = 0; k < workers; ++k)); do work "$k" & done
wait
sort -t'|' -n -k1,1 "$top/results" | awk -F'|' 'BEGIN { printf "%-3s %-60s %-14s %s\n", "#", "fault", "verdict", "caught by" }
    { printf "%-3s %-60s %-14s %s\n", $1 + 1, $2, $3, $4 }'
echo "caught $(grep -c '|caught|' "$top/results") of $(wc -l <"$top/results") in $((($(date +%s) - started) / 60)) min"
