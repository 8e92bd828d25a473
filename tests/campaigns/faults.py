#!/usr/bin/env python3
"""Fault campaign: every fault of every simulated device, injected in each menu state where it
can happen, each on a fresh root, with the outcome the instrument must show checked by the
scenario (state, error code on screen, status light, pump, set-points, files waited for) and
then on the root (error records, pending flag, run logs, the settings file).

usage: faults.py SIMULATOR WORKDIR [--jobs N] [--subset] [--only TEXT] [--table FILE]
"""

import os
import sys

import campaign as c

VESSEL_ADC = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw"
DRAWER_ADC = "/sys/bus/iio/devices/iio:device0/in_voltage4_raw"
MAX_SWITCH = "/sys/class/gpio/gpio39/value"
POWER_BUTTON = "/sys/class/gpio/gpio160/value"
RELEASE_VALVE = "/sys/class/gpio/gpio150/value"
PUMP_MOTOR = "/sys/class/gpio/gpio89/value"
DRAWER_OPEN_PWM = "/sys/class/leds/PWM<B>/brightness"


# Where a fault is injected: the steps that lead there (the fault comes right after them) and
# the steps that follow the injection before the outcome is awaited.
def at(state):
    run = ["click pushButton_run", "wait-state 9 60"]
    lanes = c.to_lanes("dmda", 2)
    return {
        # The drawer recorded as closed is driven closed by force at every start.
        "startup": ([], []),
        "pressurizing": (["wait-state 2 10"], []),
        "home": (c.to_home(), ["sleep 3"]),
        "open": (c.to_home(), ["click pushButton_open", "wait-state 4"]),
        "close": (c.to_home() + ["click pushButton_open",
                                 "wait-text label_title_drawer_menu Please insert/remove cartridge"],
                  ["click pushButton_close"]),
        "preramp": (lanes + run, []),
        "ramp": (lanes + run + ["wait-shown label_pressureRamp_title 30"], []),
        "running": (lanes + run + ["wait-state 10 60"], []),
        "running-short": (c.to_lanes("dpcr", 1) + run + ["wait-state 10 60"], []),
        "shutdown": (c.to_home(), ["power-button", "wait-state 16 5"]),
        # The drawer test of the service menu: its closing is a forced one.
        "drawer-test": (c.to_service() + ["click pushButton_initial_tests",
                                          "click pushButton_drawer_test",
                                          "click pushButton_popUp_yes", "wait-state 4",
                                          "wait-text label_title_drawer_menu Please insert "
                                          "blocked cartridge"],
                        ["click pushButton_close"]),
        "export": (["usb-insert"] + c.to_settings() + ["wait-file /sim/app.log isUsbAvailable true"],
                   ["click pushButton_settingsMenu_logFile", "click-text Yes"]),
    }[state]


SAFE = ["wait-reading pump off"] + [f"wait-reading line_{n} (set 0)" for n in (1, 2, 3)]


# Outcomes: scenario steps after the injection, and what the root must hold afterwards.
def error_screen(code, recorded=True):
    steps = ["wait-state 15 90", f"expect-text label_err_code_input {code}",
             "wait-reading LED_colour red"] + SAFE + [f"wait-file {c.INI} error=1"]
    if recorded:
        steps.append(f"wait-file {c.ERRORS} |{code}|")
    return {"steps": steps, "records": {code: 1} if recorded else {}, "pending": 1}


def logged_only(code, then):
    return {"steps": [f"wait-file {c.ERRORS} |{code}|"] + then, "records": {code: 1},
            "pending": 0}


def reaches_home(light="green"):
    # Without the LED driver the light keeps the colour it had.
    steps = ["wait-state 3 90", "sleep 2", "wait-state 3 1"]
    if light:
        steps.append(f"wait-reading LED_colour {light}")
    return {"steps": steps, "records": {}, "pending": 0}


def stays_home():
    return {"steps": ["wait-state 3 1", "wait-reading LED_colour green"], "records": {},
            "pending": 0}


def run_completes(runlog=True, light="green"):
    steps = ["wait-state 11 90", f"wait-reading LED_colour {light}"] + SAFE
    if runlog:
        steps.append(f"wait-file {c.PRODUCTION}/*.log All pressure values are in millibars")
    steps += ["click pushButton_dropletsReady_finish", "wait-state 3 30"]
    outcome = {"steps": steps, "records": {}, "pending": 0, "runlogs": 1 if runlog else 0}
    if not runlog:
        outcome["stdout"] = "Unable to write log file"
    return outcome


def run_ends_in(code, light="red"):
    outcome = error_screen(code)
    outcome["steps"][2] = f"wait-reading LED_colour {light}"
    outcome["steps"].append(f"wait-file {c.PRODUCTION}/*.log All pressure values are in millibars")
    outcome["runlogs"] = 1
    return outcome


def powers_off():
    return {"steps": ["wait-file /sim/commands.log poweroff"], "records": {}, "pending": 0,
            "poweroff": True}


def drawer_ends(position, text):
    return [f"wait-text label_title_drawer_menu {text}",
            f"wait-file {c.INI} drawer_position={position}"]


def drawer_ends_timed():
    return ["wait-text label_title_drawer_menu Please insert/remove cartridge",
            "wait-reading drawer open"]


def export_says(text):
    return {"steps": [f"wait-text label_popUp_line1 {text}", "click-text Ok",
                      "expect-text pushButton_settingsMenu_more More"],
            "records": {}, "pending": 0}


EPC_FAULTS = ["epc-silent 1", "epc-bad-crc 2", "epc-wrong-address 3", "epc-slow 1",
              "epc-exception 2", "epc-partial 3", "epc-baud 19200"]
CHIPS = ["2 0x48", "2 0x38", "4 0x1f"]
OPENED = "Please insert/remove cartridge"


def cases():
    """(fault, state, outcome). A fault of two words joined by ' + ' injects both."""
    listed = []
    add = lambda fault, state, outcome: listed.append((fault, state, outcome))

    # Pressurizing: the vessel must rise and the switch must close within the check's time.
    add("vessel-leak", "pressurizing", error_screen(7))
    add("pump-dead", "pressurizing", error_screen(7))
    add("switch-stuck-open", "pressurizing", error_screen(7))
    # A welded switch reads "full" from the first report: the pressurizing ends at once, the
    # pump having run in its off/on rhythm for a moment, and Home is reached with a low vessel.
    add("switch-stuck-closed", "pressurizing", reaches_home())
    # The pump's line gone: its writes fail (logged), the motor stays off.
    add(f"sysfs-gone {PUMP_MOTOR}", "pressurizing",
        dict(error_screen(7), steps=error_screen(7)["steps"]
             + ["wait-file /sim/app.log GPIO write failed"]))
    # A vanished ADC reads as 0, a sensor not connected: the pump trusts the switch alone.
    add(f"sysfs-gone {VESSEL_ADC}", "pressurizing", reaches_home())
    add(f"sysfs-gone {MAX_SWITCH}", "pressurizing", error_screen(7))
    # The record is lost with the full volume; the next boot cannot show the error again and
    # starts as usual.
    lost = error_screen(7, recorded=False)
    lost["steps"] += ["power-cut", "wait-state 2 20", "wait-state 3 60"]
    lost.update(pending=0, stdout="Unable to write error log file")
    add("logs-full + vessel-leak", "pressurizing", lost)
    # The chips and the controllers are not needed to pressurize: Home is reached.
    for chip in CHIPS:
        add(f"i2c-absent {chip}", "pressurizing",
            reaches_home(light=None if chip == "2 0x38" else "green"))
        add(f"i2c-nack-once {chip}", "pressurizing", reaches_home())
    add("i2c-no-bus 2", "pressurizing", reaches_home(light=None))
    add("i2c-no-bus 4", "pressurizing", reaches_home())
    add("i2c-temperature 70", "pressurizing", reaches_home())
    for fault in EPC_FAULTS:
        add(fault, "pressurizing", reaches_home())

    # Home: nothing moves; a vanished button attribute is not a press.
    add(f"sysfs-gone {POWER_BUTTON}", "home", stays_home())
    add("vessel-leak", "home", stays_home())

    # Drawer moves.
    add("drawer-obstacle", "open", logged_only(3, drawer_ends(1, "Please open cartridge drawer")))
    # A supervised move that stalls is an obstacle: logged, the drawer left in between. Only
    # a forced move reports a stuck drawer (error 1): the start-up's closing by force, which at
    # the closed end stops on the end-stop at once, stuck motor or not.
    add("drawer-stuck", "startup", reaches_home())
    add("drawer-stuck", "open", logged_only(3, drawer_ends(1, "Please open cartridge drawer")))
    add("drawer-slow", "open", {"steps": drawer_ends(2, OPENED), "records": {}, "pending": 0})
    add(f"sysfs-gone {DRAWER_ADC}", "open", {"steps": drawer_ends(2, OPENED), "records": {},
                                             "pending": 0})
    add("i2c-absent 2 0x38", "open", {"steps": drawer_ends(2, OPENED), "records": {},
                                      "pending": 0})
    add("logs-full + drawer-obstacle", "open",
        {"steps": drawer_ends(1, "Please open cartridge drawer"), "records": {}, "pending": 0,
         "stdout": "Unable to write error log file"})
    add("drawer-obstacle", "close", logged_only(3, ["wait-state 5 1"]))
    add("drawer-stuck", "close", logged_only(3, ["wait-state 5 1",
                                                 f"wait-file {c.INI} drawer_position=1"]))
    add("drawer-slow", "close", reaches_home())
    # The motor's drive gone: the opening cannot start (logged), the drawer stays in, and the
    # screen keeps offering Stop.
    add(f"sysfs-gone {DRAWER_OPEN_PWM}", "open",
        {"steps": ["wait-file /sim/app.log PWM write failed", "wait-file /sim/app.log "
                   "Drawer: Invalid parameter: 1", "wait-reading drawer closed",
                   "wait-reading drawer_motor off",
                   "expect-text label_title_drawer_menu Opening cartridge drawer..."],
         "records": {}, "pending": 0})
    # End stops that never open: an opening never sees the current cease and runs on at the
    # open end until Stop; a closing ends on its 8 s limit and is recorded closed.
    add("drawer-no-endstop", "open",
        {"steps": ["wait-reading drawer open", "sleep 3", "wait-reading drawer_motor opening",
                   "expect-text label_title_drawer_menu Opening cartridge drawer...",
                   "click pushButton_drawer_stop", "wait-reading drawer_motor off",
                   "wait-text label_title_drawer_menu Please open cartridge drawer",
                   f"wait-file {c.INI} drawer_position=1"], "records": {}, "pending": 0})
    add("drawer-no-endstop", "close",
        dict(reaches_home(), steps=["wait-file /sim/app.log Drawer error: motor active for too "
                                    "long, abort"] + reaches_home()["steps"]))
    # The drawer test's forced closing: current that never ceases is a stuck drawer, error 1.
    add("drawer-no-endstop", "drawer-test", error_screen(1))
    add("drawer-stuck", "drawer-test", error_screen(1))
    # A board of hardware version 0 moves the drawer by time: it cannot see a stuck drawer nor
    # its current input, and reports the drawer open whatever it did.
    add("drawer-stuck", "open", {"steps": ["wait-text label_title_drawer_menu Please "
                                           "insert/remove cartridge", "wait-reading drawer closed"],
                                 "records": {}, "pending": 0, "hw": 0})
    add("drawer-adc-floating", "open", {"steps": drawer_ends_timed(), "records": {},
                                        "pending": 0, "hw": 0})

    # A run: pre-ramp, ramp, active time.
    for state in ("preramp", "ramp", "running"):
        for fault in EPC_FAULTS:
            add(fault, state, run_ends_in(8))
        add("epc-offset 1 300", state, run_ends_in(8))
        add("vessel-leak", state, run_ends_in(6))
    add(f"sysfs-gone {VESSEL_ADC}", "running", run_ends_in(6))
    add("pump-dead", "running-short", run_completes())
    for chip in CHIPS:
        add(f"i2c-absent {chip}", "running-short", run_completes(light="blue" if chip == "2 0x38"
                                                                 else "green"))
    add("i2c-no-bus 4", "running-short", run_completes())
    add("i2c-temperature 70", "running-short", run_completes())
    add("logs-full", "running-short", run_completes(runlog=False))

    # Shutdown: whatever fails, the board powers off.
    for fault in ("epc-silent 1", "i2c-no-bus 2", "i2c-no-bus 4", "logs-full",
                  f"sysfs-gone {RELEASE_VALVE}"):
        add(fault, "shutdown", powers_off())

    # Log export onto the stick.
    add("usb-full", "export", export_says("Error while transferring the logs"))
    add("usb-pulled-during-copy", "export", export_says("Error while transferring the logs"))
    add("usb-slow", "export", export_says("Logs are transferred"))
    add("logs-full", "export", export_says("Logs are transferred"))
    return listed


# A few cases that cover each kind of outcome, for the regular test suite.
SUBSET = {("epc-exception 2", "running"), ("logs-full", "running-short"),
          (f"sysfs-gone {VESSEL_ADC}", "pressurizing"), ("drawer-stuck", "close")}


def scenario(fault, state, outcome):
    before, after = at(state)
    injections = [f"fault {part.strip()}" for part in fault.split(" + ")]
    steps = outcome["steps"]
    words = fault.split()
    if words[0] == "epc-baud":
        # At another speed no controller takes a request: all keep their set-points.
        steps = [step for step in steps if not step.endswith("(set 0)")]
    elif words[0].startswith("epc-") and words[0] != "epc-offset":
        # A controller that does not take requests keeps its set-point: the program can only
        # send the 0, the other two lines must have it.
        steps = [step for step in steps if step != f"wait-reading line_{words[1]} (set 0)"]
    lines = [f"# {fault} in {state}"] + before + injections + after + steps
    return "\n".join(lines) + "\n"


def check(root, outcome, stdout):
    problems = c.check_root(root)
    records = c.error_records(root)
    codes = [int(r.split("|")[2]) for r in records if r.split("|")[2].isdigit()]
    for code, count in outcome["records"].items():
        if codes.count(code) != count:
            problems.append(f"{codes.count(code)} records of error {code}, expected {count}")
    unexpected = [code for code in codes if code not in outcome["records"]]
    if unexpected:
        problems.append(f"unexpected error records {unexpected}")
    if not outcome.get("poweroff") and c.ini_value(root, "system/error") != outcome["pending"]:
        problems.append(f"pending flag {c.ini_value(root, 'system/error')}")
    if "runlogs" in outcome and len(c.run_logs(root)) != outcome["runlogs"]:
        problems.append(f"{len(c.run_logs(root))} run logs, expected {outcome['runlogs']}")
    leftovers = c.partial_run_logs(root)
    if leftovers:
        problems.append(f"partial run logs left: {leftovers}")
    if outcome.get("stdout") and outcome["stdout"] not in stdout:
        problems.append(f"the console never said \"{outcome['stdout']}\"")
    if outcome.get("poweroff") and "poweroff" not in stdout:
        problems.append("the board did not power off")
    return problems


def main():
    parser = c.argument_parser()
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--subset", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--table", default="")
    options = c.start(parser)

    selected = [case for case in cases()
                if (not options.subset or (case[0], case[1]) in SUBSET)
                and options.only in f"{case[0]} @ {case[1]}"]

    def play(indexed):
        index, (fault, state, outcome) = indexed
        name = f"{index:02d}-{state}-{fault.split()[0]}" + (f"-hw{outcome['hw']}"
                                                             if "hw" in outcome else "")
        root = os.path.join(options.workdir, name, "root")
        arguments = ["--hw-version", str(outcome["hw"])] if "hw" in outcome else []
        code, stdout, stderr, seconds = c.run_sim(options.simulator, root,
                                                  scenario(fault, state, outcome), True, name,
                                                  arguments=arguments)
        for stream, text in (("stdout", stdout), ("stderr", stderr)):
            with open(os.path.join(options.workdir, name, stream + ".log"), "w") as out:
                out.write(text)
        problems = [] if code == 0 else [c.scenario_failure(stderr)]
        problems += check(root, outcome, stdout)
        verdict = "held" if not problems else "FAILED: " + "; ".join(problems)
        print(f"{name:40s} {seconds:5.1f} s  {verdict}", flush=True)
        return fault, state, seconds, problems

    results = c.parallel(options.jobs, play, list(enumerate(selected)))
    failed = [r for r in results if r[3]]
    total = sum(r[2] for r in results)
    print(f"fault campaign: {len(results)} cases, {len(results) - len(failed)} held, "
          f"{len(failed)} failed, {total:.0f} s of simulated instrument time")
    if options.table:
        c.write_table(options.table, ("fault", "state", "outcome", "s"),
                      [(f"`{fault}`", state, "held" if not problems else "FAILED", f"{seconds:.0f}")
                       for fault, state, seconds, problems in results])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
