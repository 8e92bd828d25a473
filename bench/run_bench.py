#!/usr/bin/env python3
"""Every benchmark of the instrument program, one line per figure, each next to its baseline
measured in the same run. Started by `make bench` on a release build:

    bench/run_bench.py BUILD_DIR [--countdown SECONDS] [--only SECTION ...]

Sections: inprocess, link, drawer, pump, startup, footprint, stalls, slowdisk, countdown. The program
figures run the simulator offscreen; CPU and memory figures count the program's own threads,
not the simulated hardware's (threads named sim-*).
"""

import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLOCK_TICK = os.sysconf("SC_CLK_TCK")
PAGE_KB = os.sysconf("SC_PAGE_SIZE") // 1024

# Goals.
READ_ERRORS_RATIO = 3.0  # readLatestErrors against `wc -l`
LINK_MARGIN_US = 1000  # our exchange beyond wire time and waits
STARTUP_RATIO = 1.5  # against a bare Qt Widgets window
IDLE_CPU_PERCENT = 1.0
FRAME_MS = 16.0  # one display frame
SLOW_FLUSH_MS = 30  # the board's eMMC takes tens of milliseconds for a flush
STALL_FLOOR_MS = 8.0  # the stall probe notes only ticks later than this
COUNTDOWN_MS = 100.0
DRAWER_PERIOD_MS = 25.0
PUMP_PERIOD_MS = 500.0
FLAT_RSS_KB = 512  # second half of the runs

STARTUP_REPEATS = 5
IDLE_SECONDS = 60
RUNS = 10
# The splash screen stands for the program's start-up by design before the window is shown.
SPLASH_MS = 2000

results = []


def load():
    return "%.2f" % os.getloadavg()[0]


def figure(name, value, unit, baseline=None, ratio=None, goal=None, met=None, note=""):
    """Prints and keeps one figure line."""
    text = "%-46s %10.3f %-5s" % (name, value, unit)
    if baseline is not None:
        base_name, base_value = baseline
        text += "  | %-30s %10.3f %-5s" % (base_name, base_value, unit)
    if ratio is not None:
        text += "  x%.2f" % ratio
    if goal is not None:
        text += "  | goal %s: %s" % (goal, "met" if met else "MISSED")
    if note:
        text += "  (%s)" % note
    text += "  [load %s]" % load()
    print(text, flush=True)
    results.append(text)


# ---------------------------------------------------------------- in-process figures

INPROCESS_PAIRS = [
    ("CRC-16 of one request frame", "BM_Crc16Frame", "bitwise CRC-16", "BM_Crc16FrameBitwise",
     "ns", None),
    ("CRC-16 of one megabyte", "BM_Crc16Megabyte", "bitwise CRC-16", "BM_Crc16MegabyteBitwise",
     "ms", None),
    ("read request built + answer validated", "BM_FrameBuildValidate", "the two CRCs alone",
     "BM_FrameCrcsOnly", "ns", None),
    (".inc parser, pressure settings", "BM_IncParsePressureSettings", "same text split in lines",
     "BM_IncSplitLines", "us", None),
    ("readLatestErrors, 1 000 records", "BM_ReadLatestErrors/1000", "wc -l, same file",
     "BM_WcLines/1000", "us", READ_ERRORS_RATIO),
    ("readLatestErrors, 100 000 records", "BM_ReadLatestErrors/100000", "wc -l, same file",
     "BM_WcLines/100000", "us", READ_ERRORS_RATIO),
    ("readLatestErrors, 1 000 000 records", "BM_ReadLatestErrors/1000000", "wc -l, same file",
     "BM_WcLines/1000000", "us", READ_ERRORS_RATIO),
    ("createLogFile, two-hour run (25 000 rows)", "BM_CreateLogFileTwoHours",
     "same bytes, one write + fsync", "BM_WriteLogBytesTwoHours", "ms", None),
    ("AppSettings save + load round trip", "BM_AppSettingsRoundTrip",
     "plain QSettings round trip", "BM_QSettingsRoundTrip", "us", None),
]
UNIT_FACTOR = {"ns": 1.0, "us": 1e3, "ms": 1e6}


def inprocess(build, work):
    out = os.path.join(work, "inprocess.json")
    subprocess.run([os.path.join(build, "bench", "vemla-bench-inprocess"),
                    "--benchmark_out=" + out, "--benchmark_out_format=json",
                    "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out) as f:
        data = json.load(f)
    medians = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            ns = b["real_time"] * UNIT_FACTOR[b["time_unit"]]
            medians[b["run_name"]] = ns
    for name, key, base_name, base_key, unit, goal in INPROCESS_PAIRS:
        value = medians[key] / UNIT_FACTOR[unit]
        base = medians[base_key] / UNIT_FACTOR[unit]
        ratio = value / base
        if goal is None:
            figure(name, value, unit, (base_name, base), ratio)
        else:
            figure(name, value, unit, (base_name, base), ratio, "<= x%.0f" % goal, ratio <= goal)
    mb = medians["BM_Crc16Megabyte"] / 1e9
    figure("CRC-16 throughput", 1 / mb, "MB/s")


# ---------------------------------------------------------------- link figures

def link(build):
    test = os.path.join(build, "bench", "vemla-bench-epclink")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    text = subprocess.run([test], env=env, capture_output=True, text=True).stdout
    rows = dict((m.group(1), float(m.group(2))) for m in
                re.finditer(r"^QINFO\s*:\s*\S+\(\)\s+(\S.*?)\s+(-?\d+) us$", text, re.M))
    header = re.search(r"EPC link at (\d+) baud", text)
    if not rows or not header:
        print("link: no figures from the EPC benchmark\n" + text, flush=True)
        return
    baud = header.group(1)
    wire = rows["wire time of the exchange"]
    budget = rows["wire and configured waits"]
    exchange = rows["one read exchange"]
    ours = rows["our overhead per exchange"]
    libmodbus = rows["libmodbus client, one read"]
    theirs = libmodbus - wire
    figure("one read exchange at %s baud" % baud, exchange, "us",
           ("wire time + configured waits", budget), exchange / budget)
    figure("three-channel read cycle", rows["three-channel read cycle"], "us",
           ("3 x wire + waits + 100 ms pause", 3 * budget + 100000),
           rows["three-channel read cycle"] / (3 * budget + 100000))
    figure("libmodbus client, one read", libmodbus, "us", ("wire time", wire), libmodbus / wire)
    figure("our overhead per exchange (median)", ours, "us", ("libmodbus overhead", theirs),
           ours / theirs if theirs > 0 else None, "<= libmodbus and < %d us" % LINK_MARGIN_US,
           ours <= theirs and ours < LINK_MARGIN_US)
    figure("our overhead per exchange (best cycle)", rows["in the best cycle"], "us",
           ("libmodbus overhead", theirs), None, "< %d us" % LINK_MARGIN_US,
           rows["in the best cycle"] < LINK_MARGIN_US)


# ---------------------------------------------------------------- timing of the devices

def period_figures(name, median, worst, nominal):
    for label, value in (("median", median), ("worst", worst)):
        figure("%s, %s" % (name, label), value, "ms", ("nominal", nominal), value / nominal)


def drawer(build):
    text = subprocess.run([os.path.join(build, "bench", "drawerbench"), "6"], capture_output=True,
                          text=True).stdout
    m = re.search(r"median ([\d.]+).*max ([\d.]+)", text)
    lateness = re.search(r"worst lateness ([\d.]+)", text)
    period_figures("drawer sampling period", float(m.group(1)), float(m.group(2)),
                   DRAWER_PERIOD_MS)
    figure("main-thread 10 ms timer during a move, worst late", float(lateness.group(1)), "ms",
           goal="< %.0f ms" % FRAME_MS, met=float(lateness.group(1)) < FRAME_MS)


def pump(build):
    text = subprocess.run([os.path.join(build, "bench", "vemla-bench-pumpperiod"), "20"],
                          capture_output=True, text=True).stdout
    m = re.search(r"median ([\d.]+) ms\s+min ([\d.]+)\s+max ([\d.]+)", text)
    period_figures("pump check period", float(m.group(1)), float(m.group(3)), PUMP_PERIOD_MS)


# ---------------------------------------------------------------- the program on the simulator

def pressure_settings(path, active_seconds):
    """Short ramps so that a run is mostly its active time."""
    lines = []
    for mode in ("dmda", "dpcr"):
        lines.append('%s_active_time:"%d"' % (mode, active_seconds))
        for line, target in ((1, 1000), (2, 500), (3, 150)):
            lines.append('%s_line_%d_preRamp:"100"' % (mode, line))
            lines.append('%s_line_%d_rampUpTime:"2"' % (mode, line))
            lines.append('%s_line_%d_target:"%d"' % (mode, line, target))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


ONE_RUN = """click pushButton_next
wait-state 7
click pushButton_dpcr
wait-state 8
click pushButton_lane_1
click pushButton_run
wait-state 10 120
wait-state 11 %(limit)d
wait-file /sim/app.log Creating log file
click pushButton_dropletsReady_finish
wait-state 3 120
"""

DRAWER = """click pushButton_open
wait-state 4
wait-text label_title_drawer_menu Please insert/remove cartridge
click pushButton_close
wait-state 3 30
"""

EXPORT = """usb-insert
wait-file /sim/app.log isUsbAvailable true
click pushButton_settings
wait-state 13
click pushButton_password_2
click pushButton_password_4
click pushButton_password_6
click pushButton_password_8
click pushButton_password_0
click pushButton_password_enter
wait-text pushButton_settingsMenu_more More
click pushButton_settingsMenu_logFile
click-text Yes
wait-text label_popUp_line1 Logs are transferred
click-text Ok
"""


def thread_cpu_ticks(pid):
    """CPU ticks of the program's own threads: the process total less the sim-* threads."""
    def ticks(stat):
        fields = stat[stat.rindex(")") + 2:].split()
        return int(fields[11]) + int(fields[12])

    try:
        with open("/proc/%d/stat" % pid) as f:
            total = ticks(f.read())
        for tid in os.listdir("/proc/%d/task" % pid):
            try:
                with open("/proc/%d/task/%s/stat" % (pid, tid)) as f:
                    stat = f.read()
            except OSError:
                continue
            if stat[stat.index("(") + 1:].startswith("sim-"):
                total -= ticks(stat)
        return total
    except OSError:
        return None


def rss_kb(pid):
    try:
        with open("/proc/%d/statm" % pid) as f:
            return int(f.read().split()[1]) * PAGE_KB
    except OSError:
        return None


class SimRun:
    """One simulator process on a scenario; every line of its output with its arrival time."""

    def __init__(self, build, work, name, scenario, settings=None, probe=False, fresh=True,
                 on_line=None, extra=()):
        self.work = work
        root = os.path.join(work, "root-" + name)
        path = os.path.join(work, name + ".scn")
        with open(path, "w") as f:
            f.write(scenario)
        args = [os.path.join(build, "vemla8-sim"), "--headless", "--root", root,
                "--scenario", path]
        if fresh:
            args.append("--fresh")
        if settings:
            args += ["--pressure-settings", settings]
        if probe:
            args.append("--stall-probe")
        args += list(extra)
        self.lines = []
        self.on_line = on_line
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.start = time.monotonic()
        self.errors = os.path.join(work, name + ".err")
        with open(self.errors, "w") as err:
            self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=err, text=True,
                                         env=env)
        self.reader = threading.Thread(target=self._read)
        self.reader.start()

    def _read(self):
        # Kept beside the root: the probe's "late" lines carry the time of day to look up in
        # the program's log (root/sim/app.log).
        with open(self.errors[:-4] + ".out", "w") as out:
            for line in self.proc.stdout:
                now = time.monotonic()
                out.write(line)
                line = line.rstrip("\n")
                self.lines.append((now, line))
                if self.on_line:
                    self.on_line(self, now, line)

    def first(self, prefix):
        for t, line in self.lines:
            if line.startswith(prefix):
                return (t - self.start) * 1000
        return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        self.proc.wait()
        self.reader.join()

    def wait(self, limit):
        try:
            code = self.proc.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            self.stop()
            code = None
        self.reader.join()
        if code != 0:
            with open(self.errors) as err:
                failed = [line for line in err if line.startswith("scenario:")]
            print("simulator run ended with %s: %s" % (code, "".join(failed[-3:])), flush=True)
        return code == 0


def bench_program_lines(build, program, prefixes):
    """Starts a bench program and returns, per prefix, the milliseconds from the start to the
    first line it printed beginning with that prefix."""
    start = time.monotonic()
    proc = subprocess.Popen([os.path.join(build, "bench", program)], stdout=subprocess.PIPE,
                            text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    seen = {}
    for line in proc.stdout:
        for prefix in prefixes:
            if line.startswith(prefix) and prefix not in seen:
                seen[prefix] = (time.monotonic() - start) * 1000
    proc.wait()
    return seen


def startup(build, work):
    bare, form_built, form_shown, unstyled, state, splash, window = [], [], [], [], [], [], []
    scenario = "wait-state 3 120\n"
    # Lays the root; the figures are taken on the laid root, as the instrument boots.
    shown_event = threading.Event()

    def watch(run, now, line):
        if line.startswith("probe painted MainWindow"):
            shown_event.set()

    for i in range(STARTUP_REPEATS + 1):
        bare_ms = bench_program_lines(build, "vemla-bench-barewindow", ["probe painted"])
        form_ms = bench_program_lines(build, "vemla-bench-formwindow",
                                      ["probe form built", "probe painted"])
        unstyled_ms = bench_program_lines(build, "vemla-bench-formwindow-unstyled",
                                          ["probe form built"])
        shown_event.clear()
        run = SimRun(build, work, "startup", scenario, probe=True, fresh=(i == 0),
                     on_line=watch)
        shown_event.wait(60)
        run.stop()
        if i == 0:
            continue
        bare.append(bare_ms["probe painted"])
        form_built.append(form_ms["probe form built"])
        form_shown.append(form_ms["probe painted"])
        unstyled.append(unstyled_ms["probe form built"])
        state.append(run.first("state "))
        splash.append(run.first("probe painted QSplashScreen"))
        window.append(run.first("probe painted MainWindow"))
    b = statistics.median(bare)
    fb = statistics.median(form_built)
    fs = statistics.median(form_shown)
    fu = statistics.median(unstyled)
    s = statistics.median(state)
    sp = statistics.median(splash)
    w = statistics.median(window)
    # The floor: the instrument's form alone, which its first state shows a page of.
    figure("the instrument's form alone, built", fb, "ms", ("bare Qt window shown", b), fb / b,
           "<= x%.1f" % STARTUP_RATIO, fb / b <= STARTUP_RATIO)
    figure("the instrument's form alone, shown", fs, "ms", ("bare Qt window shown", b), fs / b)
    figure("the form alone without its widgets' style sheets, built", fu, "ms",
           ("bare Qt window shown", b), fu / b, "<= x%.1f" % STARTUP_RATIO, fu / b <= STARTUP_RATIO)
    figure("start to first menu state", s, "ms", ("bare Qt window shown", b), s / b,
           "<= x%.1f" % STARTUP_RATIO, s / b <= STARTUP_RATIO)
    figure("start to first menu state, against the form alone", s, "ms", ("form alone built", fb),
           s / fb)
    figure("start to first screen shown (splash)", sp, "ms", ("bare Qt window shown", b), sp / b,
           "<= x%.1f" % STARTUP_RATIO, sp / b <= STARTUP_RATIO)
    figure("start to main window shown", w, "ms", ("bare window + 2 s splash", b + SPLASH_MS),
           w / (b + SPLASH_MS), "<= x%.1f" % STARTUP_RATIO, w / (b + SPLASH_MS) <= STARTUP_RATIO)


def footprint(build, work, runs):
    """Idle at Home for a minute, then ten runs: CPU at Home and during the runs, resident
    memory at Home before and after them. No stall probe: its timer would count as CPU."""
    settings = os.path.join(work, "footprint.inc")
    pressure_settings(settings, 5)
    samples = {"home": [], "run": []}
    idle = {}

    def watch(run, now, line):
        pid = run.proc.pid
        if line == "state 3 Home menu":
            samples["home"].append(rss_kb(pid))
            if "start" not in idle:
                idle["start"] = (now, thread_cpu_ticks(pid))
                timer = threading.Timer(IDLE_SECONDS, lambda: idle.setdefault(
                    "end", (time.monotonic(), thread_cpu_ticks(pid))))
                timer.start()
        elif line.startswith("state 9 ") or line.startswith("state 11 "):
            samples["run"].append((line[6:8], now, thread_cpu_ticks(pid)))

    scenario = "wait-state 3 120\nsleep %d\n" % (IDLE_SECONDS + 5) + ONE_RUN % {"limit": 60} * runs
    run = SimRun(build, work, "footprint", scenario, settings=settings, on_line=watch)
    if not run.wait(1800) or "end" not in idle:
        return
    (t0, c0), (t1, c1) = idle["start"], idle["end"]
    cpu = (c1 - c0) / CLOCK_TICK / (t1 - t0) * 100
    figure("CPU at Home, %d s idle" % IDLE_SECONDS, cpu, "%", goal="< %.0f %% of a core"
           % IDLE_CPU_PERCENT, met=cpu < IDLE_CPU_PERCENT)
    busy = []
    marks = samples["run"]
    for (k0, t0, c0), (k1, t1, c1) in zip(marks, marks[1:]):
        if k0 == "9 " and k1 == "11":
            busy.append((c1 - c0) / CLOCK_TICK / (t1 - t0) * 100)
    if busy:
        figure("CPU during a run (ramp + active time)", statistics.median(busy), "%",
               note="median of %d runs" % len(busy))
    home = samples["home"]
    figure("RSS at Home", home[0] / 1024, "MB")
    # The first runs load what a run shows (pages, animation, the allocator's pools); after
    # that the figure must not move.
    half = len(home) // 2
    figure("RSS at Home after %d runs" % (len(home) - 1), home[-1] / 1024, "MB",
           ("after %d runs" % half, home[half] / 1024), home[-1] / home[half],
           "flat (< %d kB growth)" % FLAT_RSS_KB, home[-1] - home[half] < FLAT_RSS_KB,
           "MB at Home: " + " ".join("%.1f" % (kb / 1024) for kb in home))


def stalls(build, work):
    """The drawer moved, a run with its back-to-back reads, a log export: the worst GUI
    stall in each menu state."""
    settings = os.path.join(work, "stalls.inc")
    pressure_settings(settings, 10)
    scenario = "wait-state 3 120\n" + DRAWER + ONE_RUN % {"limit": 60} + EXPORT
    run = SimRun(build, work, "stalls", scenario, settings=settings, probe=True)
    if not run.wait(900):
        return
    worst = {}
    for _, line in run.lines:
        m = re.match(r"probe stall (-?\d+) ([\d.-]+)", line)
        if m:
            state = int(m.group(1))
            worst[state] = max(worst.get(state, 0.0), float(m.group(2)))
    for label, states in (("drawer moving (states 4, 5)", (4, 5)),
                          ("controllers read back to back (states 9, 10)", (9, 10)),
                          ("logs exported (settings menu, state 13)", (13,))):
        value = max(worst.get(s, 0.0) for s in states)
        figure("largest GUI stall, " + label, value, "ms", goal="< %.0f ms" % FRAME_MS,
               met=value < FRAME_MS)
    rest = {s: v for s, v in worst.items() if s not in (4, 5, 9, 10, 13)}
    if rest:
        state, value = max(rest.items(), key=lambda item: item[1])
        figure("largest GUI stall elsewhere (state %d)" % state, value, "ms")


ADMIN = "".join("click pushButton_password_%s\n" % d for d in "24680")
CALIBRATION = "".join("click pushButton_password_%s\n" % d for d in "7716042385")
# The moments that write to the disk, each between "mark begin NAME" and "mark end NAME".
DURABLE_MOMENTS = """wait-state 3 120
usb-insert
wait-file /sim/app.log isUsbAvailable true
mark begin run start
click pushButton_next
wait-state 7
click pushButton_dpcr
wait-state 8
click pushButton_lane_1
click pushButton_run
wait-state 10 120
mark end run start
mark begin run end
wait-state 11 120
wait-file /sim/app.log Creating log file
sleep 1
mark end run end
click pushButton_dropletsReady_finish
wait-state 3 120
click pushButton_settings
wait-state 13
""" + ADMIN + """click pushButton_password_enter
wait-text pushButton_settingsMenu_more More
click pushButton_settingsMenu_password
""" + ADMIN + "click pushButton_password_enter\n" + ADMIN + "click pushButton_password_enter\n" \
    + ADMIN + """mark begin settings save
click pushButton_password_enter
click-text Yes
wait-text label_popUp_line1 Password changed
mark end settings save
click-text Ok
mark begin log export
click pushButton_settingsMenu_logFile
click-text Yes
wait-text label_popUp_line1 Logs are transferred
mark end log export
click-text Ok
click pushButton_settingsMenu_back
wait-state 3 30
click pushButton_settings
wait-state 13
""" + CALIBRATION + """click pushButton_password_enter
wait-state 17
click pushButton_CalibrationStartScreen_open
wait-state 19 20
click pushButton_CalibrationInsertScreen_ready
wait-state 20
click pushButton_CalibrationInsertScreen_ready
wait-state 21
wait-state 22 90
mark begin calibration save
click pushButton_CalibrationReadyScreen_save
wait-state 23
sleep 1
mark end calibration save
click pushButton_CalibrationFinishedScreen_close
wait-state 3 20
fault drawer-obstacle
mark begin error record
click pushButton_open
wait-text label_title_drawer_menu Please open cartridge drawer
sleep 1
mark end error record
"""


def durable_stalls(build, work, flush_ms):
    """The worst GUI stall in each moment that writes to the disk, every fsync and sync taking
    flush_ms on the simulated flash (0: this machine's speed, still through the lossy disk)."""
    settings = os.path.join(work, "durable.inc")
    pressure_settings(settings, 5)
    fault = "fault disk-slow %d\n" % flush_ms if flush_ms else ""
    run = SimRun(build, work, "disk%d" % flush_ms, fault + DURABLE_MOMENTS, settings=settings,
                 probe=True, extra=["--lossy-disk"])
    if not run.wait(900):
        return None
    # A click runs the program's handler and the next steps in one go, before the probe's
    # next tick: the marks' and the stalls' times of day tell which moment a stall began in.
    def seconds(text):
        h, m, s = text.split(":")
        return int(h) * 3600 + int(m) * 60 + float(s)
    moments = {}
    with open(os.path.join(work, "root-disk%d" % flush_ms, "sim", "app.log")) as log:
        for line in log:
            m = re.search(r"(\d\d:\d\d:\d\d\.\d+) .*Scenario mark: (begin|end) (.*)", line)
            if m:
                moments.setdefault(m.group(3), {})[m.group(2)] = seconds(m.group(1))
    worst = {name: 0.0 for name in moments}
    for _, line in run.lines:
        m = re.match(r"probe late ([\d.]+) cpu [\d.]+ until ([\d:.]+)", line)
        if not m:
            continue
        late = float(m.group(1))
        ended = seconds(m.group(2))
        began = ended - late / 1000
        for name, span in moments.items():
            # Any overlap counts: a stall across two moments is charged to both.
            if began <= span.get("end", -1) and ended >= span.get("begin", 1e9):
                worst[name] = max(worst[name], late)
    return worst


def slowdisk(build, work):
    """Stalls of the durable writes on a disk as slow as the board's eMMC (30 ms a flush)
    beside the same on this machine's disk. A moment without a late tick (over 8 ms late)
    counts as 8 ms."""
    fast = durable_stalls(build, work, 0)
    slow = durable_stalls(build, work, SLOW_FLUSH_MS)
    if not fast or not slow:
        return
    for moment in slow:
        value = max(slow[moment], STALL_FLOOR_MS)
        figure("largest GUI stall, %s, flush %d ms" % (moment, SLOW_FLUSH_MS), value, "ms",
               ("fast disk", max(fast.get(moment, 0.0), STALL_FLOOR_MS)), goal="< %.0f ms" % FRAME_MS,
               met=value < FRAME_MS)


def countdown(build, work, seconds):
    settings = os.path.join(work, "countdown.inc")
    pressure_settings(settings, seconds)
    scenario = "wait-state 3 120\n" + ONE_RUN % {"limit": seconds + 60}
    run = SimRun(build, work, "countdown", scenario, settings=settings)
    if not run.wait(seconds + 600):
        return
    start = run.first("state 10 ")
    end = run.first("state 11 ")
    active = end - start
    figure("countdown, %d s active time" % seconds, active, "ms", ("monotonic clock",
           seconds * 1000.0), active / (seconds * 1000.0), "within %.0f ms" % COUNTDOWN_MS,
           abs(active - seconds * 1000) <= COUNTDOWN_MS)


SECTIONS = ["inprocess", "link", "drawer", "pump", "startup", "footprint", "stalls", "slowdisk",
            "countdown"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--countdown", type=int, default=60,
                        help="active time of the countdown run in seconds (600: ten minutes)")
    parser.add_argument("--only", nargs="*", choices=SECTIONS, default=SECTIONS)
    parser.add_argument("--work", help="scratch directory (default BUILD/bench-work)")
    parser.add_argument("--runs", type=int, default=RUNS, help="runs of the footprint section")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    work = os.path.abspath(options.work or os.path.join(build, "bench-work"))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    print("machine: %s, %d cores; load at start %s" % (
        os.uname().machine + " " + os.uname().release, os.cpu_count(), load()), flush=True)
    begun = time.monotonic()
    for section in options.only:
        if section == "countdown":
            countdown(build, work, options.countdown)
        elif section == "footprint":
            footprint(build, work, options.runs)
        elif section in ("inprocess", "startup", "stalls", "slowdisk"):
            globals()[section](build, work)
        else:
            globals()[section](build)
    print("bench took %.0f s" % (time.monotonic() - begun), flush=True)
    with open(os.path.join(work, "results.txt"), "w") as f:
        f.write("\n".join(results) + "\n")


if __name__ == "__main__":
    main()
