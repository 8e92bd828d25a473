#!/usr/bin/python3
"""Seeded walks of the operator explorer: Hypothesis's stateful testing picks, step after step,
among what a person or the world could do now on the simulated instrument, and the
invariants are checked after every step. Each example Hypothesis generates is one walk on a
fresh instrument root; walks follow one another until the deadline or the first failure. A
failing walk is shrunk by Hypothesis and written out as a scenario (NAME.scn, NAME.2.scn ...
per boot, NAME.check where files are judged) that replays with the scenario runner.

usage: walk.py SIMULATOR WORKDIR --seed N [--steps N] [--deadline EPOCH] [--shrink-seconds S]

Writes WORKDIR/result.json: the walks (steps, states per boot) and the failure if any.
Run with Debian's /usr/bin/python3 (python3-hypothesis)."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "campaigns"))

import hypothesis  # noqa: E402
import hypothesis.core  # noqa: E402
from hypothesis import HealthCheck, Phase, settings, strategies as st  # noqa: E402
from hypothesis.control import current_build_context  # noqa: E402
from hypothesis.stateful import RuleBasedStateMachine, rule, run_state_machine_as_test  # noqa

import campaign as c  # noqa: E402
from board import Board, BoardGone  # noqa: E402
from records import RecordBook  # noqa: E402

# Short ramps and active times: a run takes seconds, not minutes.
SETTINGS = c.SHORT_SETTINGS
SERVICE_CODE = "5830264917"
CALIBRATION_CODE = "7716042385"
NEW_PASSWORD = "13579"
# The longest a screen may offer nothing to press: pressurizing an empty vessel, a drawer
# move, the ramp and active time of the explorer's short settings, the shutdown and an
# update all end well within it.
SELF_ENDING_SECONDS = 90
POWEROFF_SECONDS = 90
# The status light follows a state through the I2C worker: a colour is judged once it has had
# this long to change.
LED_SETTLE_SECONDS = 3
# A release valve found venting outside a shutdown or a release is given this long to close.
VENT_GRACE_SECONDS = 5
WAIT_CHOICES = [1, 3, 8, 20]
# Steps per rule of the state machine, and the fewest a first rule must hold to boot the
# board (the boot and its pressurizing take 15 s).
BURST = 8
BOOT_ACTIONS = 3

# The colour the status light shows in a state, where the state sets one on entry.
LED_OF_STATE = {3: {"green"}, 4: {"yellow"}, 6: {"red", "blue"}, 9: {"blue"}, 10: {"blue"},
                11: {"green"}, 13: {"green"}, 15: {"red"}, 16: {"magenta"}, 17: {"cyan"}}
# Faults that keep the status light from being driven (it keeps its last colour).
LED_FAULTS = ("i2c-absent 2", "i2c-no-bus 2", "i2c-nack-once 2")
# States in which the release valve may vent: the shutdown, the settings and service menus
# (a release, the pump test's vent).
VENT_STATES = {13, 14, 16}

# Sticks to plug in: plain, with an update, one that does not mount, and hostile ones as a PC
# may leave them: a log file linked to the settings, a forged backup with the update marker,
# a backup name dangling into the instrument's disk, a logs folder linked into it.
PLANTED = "/usr/share/vemla/planted.ini"
STICKS = [
    ["usb-insert"],
    ["usb-insert update"],
    ["usb-insert no-mount"],
    ["stick-link logs/diagnostics.log /usr/share/vemla/vemla.ini", "usb-insert"],
    ["stick-file .swupgraded",
     "stick-file vemla-backup.ini [drawer]\\nsafety_threshold=65535\\nopening_time=60000\\n"
     "[production]\\nid=2147483647\\ndpcr_run=5\\n", "usb-insert"],
    [f"stick-link vemla-backup.ini {PLANTED}", "usb-insert update"],
    ["stick-link logs /usr/share/vemla", "usb-insert"],
]
FAULTS = ["drawer-obstacle", "drawer-stuck", "drawer-slow", "vessel-leak", "pump-dead",
          "switch-stuck-open", "epc-silent 1", "epc-bad-crc 2", "epc-offset 3 300",
          "epc-slow 1", "epc-exception 2", "epc-partial 3", "epc-wrong-address 1",
          "i2c-absent 2 0x38", "i2c-absent 4 0x1F", "i2c-no-bus 2", "i2c-nack-once 4 0x1F",
          "logs-full", "usb-full", "usb-pulled-during-copy", "usb-slow"]


def pick(value, options):
    """One of `options` for a drawn 16-bit value; shrinking leans to the first option."""
    return options[value % len(options)]


class Failure(AssertionError):
    """An invariant that did not hold. `asserts` are scenario lines that fail on a replay the
    way the walk failed; `check` arguments of rootcheck.py where files are judged."""

    def __init__(self, kind, message, asserts=(), check=None):
        super().__init__(f"{kind}: {message}")
        self.kind = kind
        self.message = message
        self.asserts = list(asserts)
        self.check = check


class Walk:
    """The live walk: the board, the record of scenario lines per boot, the invariants."""

    def __init__(self, simulator, workdir):
        shutil.rmtree(workdir, ignore_errors=True)
        os.makedirs(workdir)
        self.workdir = workdir
        self.root = os.path.join(workdir, "root")
        self.board = Board(simulator, self.root, SETTINGS, workdir)
        self.boots = [[]]  # scenario lines, one list per boot file
        self.states = []  # per boot: the states entered
        self.steps = 0
        self.screen = None
        self.records = RecordBook(self.root)
        self.power_button_pressed = False
        self.home_seen_this_boot = False
        self.led_blind = False  # a fault keeps the light from being driven
        self.led_recovering = False  # faults cleared: the next state entry sets it again
        self.faults = []
        self.vent_since = None
        self.failure = None
        self.pressed = {}  # (state, control name, text) -> presses in this walk

    # --- recording and playing
    def play(self, line, record=True):
        """Plays a scenario line; None when it held, else why not."""
        if record:
            self.boots[-1].append(line)
        return self.board.step(line)

    def power_on(self, fresh):
        self.board.power_on(fresh)
        self.home_seen_this_boot = False
        self.led_blind = False
        self.led_recovering = False
        self.faults = []
        self.vent_since = None
        self.read_output()

    def start(self):
        self.power_on(fresh=True)
        self.check()

    def stop(self):
        self.board.kill()

    def read_output(self):
        """States entered, boots and endings from the board's standard output; returns the
        lines read."""
        lines = self.board.new_output()
        for line in lines:
            words = line.split()
            if not words:
                continue
            if words[0] in ("boot", "restart"):
                self.states.append([])
            elif words[0] == "state" and len(words) > 1 and words[1].isdigit():
                state = int(words[1])
                if not self.states:
                    self.states.append([])
                self.states[-1].append(state)
                self.records.state_entered(state)
                if state == 3:
                    self.home_seen_this_boot = True
                if self.led_recovering and state in LED_OF_STATE:
                    self.led_recovering = False
                    self.led_blind = False
        return lines

    # --- what the operator and the world can do now
    def choices(self):
        screen = self.screen
        names = {control["name"] for control in screen["controls"]}
        stick = screen["readings"].get("USB stick", "")
        kinds = []
        if screen["controls"]:
            kinds += ["press"] * 24
        if "pushButton_password_enter" in names:
            kinds += ["code"] * 6
        # With little to press (a run's Stop, a question) a person mostly waits.
        kinds += ["wait"] * (32 if len(screen["controls"]) <= 2 else 5)
        kinds += ["usb-insert"] if stick.startswith("none") else ["usb-remove"]
        kinds += ["fault"]
        if self.faults:
            kinds += ["fault-clear"] * 2
        kinds += ["power-cut"]
        if len(self.boots) < 8:
            kinds += ["power-button"]
        return kinds

    def step(self, action, argument):
        """One step from two drawn values: what to do among what is possible now, and what
        with. An action of 0 is no step at all, so that shrinking a value to 0 takes the step
        out of the walk; a walk of such steps never boots the board."""
        if action == 0:
            return
        if self.board.process is None:
            self.start()
        self.steps += 1
        kind = pick(action, self.choices())
        began = time.monotonic()
        try:
            if self.act(kind, argument):
                self.check()
        except BoardGone:
            self.board_gone()
            self.check()
        if os.environ.get("EXPLORE_TRACE"):
            print(f"{time.monotonic() - began:6.2f} s  {kind}: {self.boots[-1][-3:]} "
                  f"state {self.screen['state'] if self.screen else '-'}", file=sys.stderr)

    def act(self, kind, argument):
        """Does one thing; False when the action checked the board itself."""
        if kind == "press":
            self.press(self.pick_control(argument))
        elif kind == "code":
            admin = c.ini_text(self.root, "password/admin") or c.ADMIN_PASSWORD
            code = pick(argument, [admin, SERVICE_CODE, CALIBRATION_CODE, NEW_PASSWORD, "1"])
            for digit in code:
                self.play(f"click pushButton_password_{digit}")
            self.settle(self.play("click pushButton_password_enter"))
        elif kind == "wait":
            self.play(f"sleep {pick(argument, WAIT_CHOICES)}")
        elif kind == "usb-insert":
            for line in pick(argument, STICKS):
                self.play(line)
        elif kind == "usb-remove":
            self.play("usb-remove")
        elif kind == "fault":
            fault = pick(argument, FAULTS)
            self.play(f"fault {fault}")
            self.faults.append(fault)
            if fault.startswith(LED_FAULTS):
                self.led_blind = True
        elif kind == "fault-clear":
            self.play("fault clear")
            self.faults = []
            if self.led_blind:
                self.led_recovering = True
        elif kind == "power-cut":
            self.power_cut()
            return False
        elif kind == "power-button":
            self.power_button()
            return False
        return True

    def pick_control(self, argument):
        """A control of the screen: half the time one of the least pressed in this state in
        this walk (so a walk gets past the keypad's ten digits), else any."""
        state = self.screen["state"]
        controls = sorted(self.screen["controls"], key=lambda c: (c["top"], c["name"]))
        if argument & 1:
            controls.sort(key=lambda c: self.pressed.get((state, c["name"], c["text"]), 0))
            fewest = self.pressed.get((state, controls[0]["name"], controls[0]["text"]), 0)
            controls = [c for c in controls
                        if self.pressed.get((state, c["name"], c["text"]), 0) == fewest]
        control = pick(argument >> 1, controls)
        key = (state, control["name"], control["text"])
        self.pressed[key] = self.pressed.get(key, 0) + 1
        return control

    def press(self, control):
        texts = [other["text"] for other in self.screen["controls"]
                 if other["name"] == control["name"]]
        if control["name"] and len(texts) == 1:
            if self.play(f"wait-shown {control['name']} 10"):
                self.boots[-1].pop()
                return
            self.settle(self.play(f"click {control['name']}"))
        else:
            self.settle(self.play(f"click-text {control['text']}"))

    def settle(self, why):
        if why:
            # What the walk pressed was on screen a moment before; a replay may see it gone.
            self.boots[-1].pop()

    # --- power
    def power_cut(self):
        self.records.power_cut()
        try:
            self.play("power-cut")
        except BoardGone:
            pass
        self.board.wait_end(30)
        self.read_output()
        self.records_check()
        self.power_on(fresh=False)
        self.check()

    def power_button(self):
        self.play("power-button")
        try:
            why = self.play(f"wait-poweroff {POWEROFF_SECONDS}")
        except BoardGone:
            why = None
        if why:
            raise Failure("poweroff", f"the power button did not end in poweroff: {why}")
        self.board.wait_end(30)
        if "poweroff" not in self.read_output() and self.board.alive():
            raise Failure("poweroff", "the board is still on after the power button")
        self.ended_check()
        self.records_check()
        self.boots.append([])
        self.power_on(fresh=False)
        self.check()

    def ended_check(self):
        """The board ended: a crash unless it powered off or lost its power."""
        report = self.board.sanitizer_report()
        if report:
            raise Failure("sanitizer", report)
        code = self.board.wait_end(30)
        with open(self.board.stdout_path, "rb") as out:
            tail = out.read().decode(errors="replace").splitlines()[-1:]
        if code not in (0, None) or not tail or tail[-1] not in ("poweroff", "power-cut"):
            raise Failure("crash", f"the board ended with {code}: {self.board.stderr_tail()}")

    def board_gone(self):
        """The channel ended outside a power action: an update's restart, or a fault."""
        ended = self.board.wait_end(3) is not None
        self.read_output()
        if not ended:
            try:
                self.board.connect()  # the update restarted the program in place
                return
            except BoardGone:
                pass
        self.ended_check()
        raise Failure("poweroff", "the board powered off without the power button",
                      asserts=[f"sleep {SELF_ENDING_SECONDS}"])

    # --- invariants
    def check(self):
        try:
            self.check_screen()
        except BoardGone:
            self.board_gone()
            self.check_screen()
        self.records_check()

    def check_screen(self):
        report = self.board.sanitizer_report()
        if report:
            raise Failure("sanitizer", report)
        self.screen = self.board.screen()
        self.read_output()
        if not self.screen["controls"]:
            # Nothing to press: the state must end by itself.
            why = self.play(f"wait-control {SELF_ENDING_SECONDS}")
            self.read_output()
            if why:
                raise Failure("dead-end", why)
            self.screen = self.board.screen()
            self.read_output()
        self.check_light()
        self.check_hardware()

    def check_light(self):
        deadline = time.monotonic() + LED_SETTLE_SECONDS
        while True:
            state = self.screen["state"]
            expected = set(LED_OF_STATE.get(state, ()))
            if state == 2:
                expected = {"green"} if self.home_seen_this_boot else {"magenta", "green"}
            colour = self.screen["readings"].get("LED colour", "").split(" ")[0]
            if not expected or self.led_blind or colour in expected:
                return
            if time.monotonic() > deadline:
                want = sorted(expected)[0] if len(expected) == 1 else \
                    sorted(expected - {"blue"})[0]
                raise Failure("light", f"state {state} shows {colour}, not {' or '.join(expected)}",
                              asserts=[f"wait-reading LED_colour {want}"])
            time.sleep(0.25)
            before = state
            self.screen = self.board.screen()
            self.read_output()
            if self.screen["state"] != before:
                return

    def check_hardware(self):
        readings = self.screen["readings"]
        overrun = readings.get("max switch overrun", "kept")
        if not overrun.startswith("kept"):
            raise Failure("pump", f"pump ran against the closed maximum switch: {overrun}",
                          asserts=["wait-reading max_switch_overrun kept"])
        drive = readings.get("drawer drive limit", "kept")
        if not drive.startswith("kept"):
            raise Failure("drawer", f"drawer motor driven beyond its limits: {drive}",
                          asserts=["wait-reading drawer_drive_limit kept"])
        if readings.get("release valve") == "venting" and self.screen["state"] not in VENT_STATES:
            now = time.monotonic()
            self.vent_since = self.vent_since or now
            if now - self.vent_since > VENT_GRACE_SECONDS:
                raise Failure("valve", f"release valve open in state {self.screen['state']}",
                              asserts=["wait-reading release_valve closed"])
        else:
            self.vent_since = None

    def records_check(self):
        problems, check = self.records.check(self.screen)
        if problems:
            raise Failure("records", "; ".join(problems), asserts=self.records.asserts(),
                          check=check)

    # --- results
    def scenario_files(self, name, failure):
        """The walk as scenario files: NAME.scn for the first boot, NAME.K.scn for boot K."""
        files = {}
        boots = [list(lines) for lines in self.boots]
        boots[-1] += failure.asserts
        for number, lines in enumerate(boots, 1):
            head = [f"# Explorer walk, failing: {failure.kind}: {failure.message}"[:300]] \
                if number == 1 else []
            files[f"{name}.scn" if number == 1 else f"{name}.{number}.scn"] = \
                "\n".join(head + lines) + "\n"
        if failure.check:
            files[f"{name}.check"] = rootcheck_script(failure.check)
        return files

    def summary(self):
        return {"steps": self.steps, "states": [boot for boot in self.states if boot],
                "lines": sum(len(lines) for lines in self.boots)}


def replay(simulator, folder, name, workdir):
    """Plays the written scenario the way ctest plays an e2e test; True when it fails as the
    walk did (it should: the scenario asserts what the walk found broken)."""
    chain = [os.path.join(folder, f"{name}.scn")]
    boot = 2
    while os.path.exists(os.path.join(folder, f"{name}.{boot}.scn")):
        chain.append(os.path.join(folder, f"{name}.{boot}.scn"))
        boot += 1
    check = os.path.join(folder, f"{name}.check")
    command = ["sh", os.path.join(HERE, "..", "e2e", "run-scenarios.sh"), simulator,
               os.path.join(workdir, "replay-root"), os.path.join(folder, f"{name}.pressure.inc"),
               check if os.path.exists(check) else "-"] + chain
    with open(os.path.join(workdir, "replay.log"), "w") as log:
        done = subprocess.run(command, stdout=log, stderr=subprocess.STDOUT,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    return done.returncode != 0


def rootcheck_script(arguments):
    return ("# Files the walk judged: settings, error log, run logs, production id.\n"
            'here=$(dirname "$0")\n'
            f'tool="$here/../explore/rootcheck.py"\n'
            f'[ -f "$tool" ] || tool="{HERE}/rootcheck.py"\n'
            f'python3 "$tool" "$1" {arguments}\n')


def machine_for(options, outcome):
    """The state machine class of the walks; `outcome` collects what each run of it saw.

    Every step draws the same two 16-bit values whatever happens on the board, and a failure
    is raised only at the end of the walk: Hypothesis keeps a tree of the draws of every run
    and takes a replay whose draws stop or go on elsewhere for inconsistent generation. The
    real-time instrument may fail a step earlier or later on a replay; the draws stay alike."""

    class Operator(RuleBasedStateMachine):
        def __init__(self):
            super().__init__()
            final = current_build_context().is_final
            shrinking = outcome["first_failure"] is not None
            self.generating = not shrinking and not final
            spent = time.time() > options.deadline
            if shrinking and not final:
                spent = time.time() > min(outcome["first_failure"] + options.shrink_seconds,
                                          options.deadline + options.shrink_seconds)
            self.walk = None
            if spent and not final:
                return  # the budget is spent: the walk draws and does nothing
            outcome["attempts"] += 1
            attempt = "final" if final else f"{'walk' if self.generating else 'shrink'}-" \
                f"{outcome['attempts']}"
            self.walk = Walk(options.simulator, os.path.join(options.workdir, attempt))

        @rule(data=st.data())
        def act(self, data):
            # A burst of steps per rule: Hypothesis begins with walks of a few rules, capped
            # at ten times the smallest; bursts make those walks long enough to get anywhere.
            burst = [(data.draw(st.integers(0, 0xFFFF), label="action"),
                      data.draw(st.integers(0, 0xFFFF), label="argument"))
                     for _ in range(BURST)]
            walk = self.walk
            if walk is None or walk.failure is not None:
                return
            if walk.board.process is None and sum(1 for a, _ in burst if a) < BOOT_ACTIONS:
                return  # a walk of hardly anything is not worth a boot
            for action, argument in burst:
                if self.generating and time.time() > options.deadline:
                    return
                try:
                    walk.step(action, argument)
                except Failure as failure:
                    walk.failure = failure
                    return
                except Exception:
                    # A fault of the explorer itself: said as such, not shrunk as the product's.
                    traceback.print_exc()
                    raise

        def teardown(self):
            walk = self.walk
            if walk is None:
                return
            walk.stop()
            if self.generating and walk.steps:
                outcome["walks"].append(walk.summary())
            if walk.failure is None:
                if self.generating:
                    # A walk that held leaves nothing to look at: its root goes.
                    shutil.rmtree(walk.workdir, ignore_errors=True)
                return
            outcome["first_failure"] = outcome["first_failure"] or time.time()
            outcome["failures"].append(walk)
            raise walk.failure

    return Operator


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("simulator")
    parser.add_argument("workdir")
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--steps", type=int, default=40)
    # Walks of one seed at most; the deadline ends them sooner. Hypothesis begins with small
    # walks (of a few steps) before it lets them grow to --steps.
    parser.add_argument("--walks", type=int, default=100)
    parser.add_argument("--deadline", type=float, default=time.time() + 3600)
    parser.add_argument("--shrink-seconds", type=float, default=300)
    parser.add_argument("--name", default="walk")
    parser.add_argument("--replay", action="store_true",
                        help="replay the written scenario and say whether it fails too")
    options = parser.parse_args()
    options.simulator = os.path.abspath(options.simulator)
    options.workdir = os.path.abspath(options.workdir)
    os.makedirs(options.workdir, exist_ok=True)

    outcome = {"attempts": 0, "first_failure": None, "failures": [], "walks": []}
    hypothesis.core.global_force_seed = options.seed
    machine = machine_for(options, outcome)
    error = None
    try:
        run_state_machine_as_test(machine, settings=settings(
            max_examples=options.walks, stateful_step_count=max(1, -(-options.steps // BURST)), deadline=None, database=None,
            phases=[Phase.generate, Phase.shrink], suppress_health_check=list(HealthCheck),
            print_blob=False))
    except Exception as raised:  # a failure, or Hypothesis's own complaint about one
        traceback.print_exc()
        error = f"{type(raised).__name__}: {raised}"

    result = {"seed": options.seed, "attempts": outcome["attempts"], "failure": None,
              "walks": outcome["walks"]}
    if outcome["failures"]:
        # The final replay of the shrunk walk when it failed again, else the shortest failing.
        failing = [w for w in outcome["failures"] if os.path.basename(w.workdir) == "final"] \
            or sorted(outcome["failures"], key=lambda w: w.summary()["lines"])
        best = failing[0]
        folder = os.path.join(options.workdir, "scenario")
        os.makedirs(folder, exist_ok=True)
        files = best.scenario_files(options.name, best.failure)
        shutil.copy(SETTINGS, os.path.join(folder, f"{options.name}.pressure.inc"))
        for name, text in files.items():
            with open(os.path.join(folder, name), "w") as out:
                out.write(text)
        reproduced = replay(options.simulator, folder, options.name, options.workdir) \
            if options.replay else None
        result["failure"] = {"kind": best.failure.kind, "message": best.failure.message,
                             "replay_fails": reproduced,
                             "shrunk": os.path.basename(best.workdir) == "final",
                             "first_lines": outcome["failures"][0].summary()["lines"],
                             "lines": best.summary()["lines"], "folder": folder,
                             "hypothesis": (error or "")[:500]}
    elif error:
        result["failure"] = {"kind": "explorer", "message": error[:2000]}
    with open(os.path.join(options.workdir, "result.json"), "w") as out:
        json.dump(result, out)


if __name__ == "__main__":
    main()
