"""Shared pieces of the simulator campaigns: running vemla8-sim on a root, the short pressure
settings, the scenario fragments that bring the instrument into a menu state, and the checks
of what a root holds (settings file, error log, run logs) that must hold after anything."""

import argparse
import os
import re
import shutil
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
# Short runs: a few seconds of ramp; the dMDA active time is long enough for a line out of
# range to be noticed (51 readings), the dPCR one is short for quick runs.
SHORT_SETTINGS = os.path.join(HERE, "short.pressure.inc")
# Both modes short, for runs back to back.
SOAK_SETTINGS = os.path.join(HERE, "soak.pressure.inc")

DATA = "/usr/share/vemla"
INI = DATA + "/vemla.ini"
ERRORS = DATA + "/logs/errors.log"
PRODUCTION = DATA + "/logs/production"

ERROR_HEADER = "time|last menu|code|"
# Codes of the error table; 1000 and 65535 are never written by a fault.
KNOWN_CODES = {0, 1, 2, 3, 4, 5, 6, 7, 8, 1000, 65535}
RUN_LOG_NAME = re.compile(r"^\d+_\d{8}_\d{6}\.log$")
RUN_LOG_ROW = re.compile(r"^(\d+\t\t\t){5}$")
RUN_LOG_HEADER_LINES = 6

# Every key the program writes, with the values it may hold. Anything else is a corruption.
INI_KEYS = {
    "system/error": {0, 1},
    "system/system_log": {0, 1},
    "system/date_format": None,
    "drawer/drawer_position": {0, 1, 2},
    "drawer/safety_threshold": None,
    "drawer/opening_time": None,
    "production/id": None,
    "production/dpcr_run": None,
    "production/dmda_run": None,
}
INI_TEXT_GROUPS = {"password", "access"}

ADMIN_PASSWORD = "24680"
SERVICE_PASSWORD = "5830264917"


def argument_parser():
    """A campaign's command line: the simulator and the work folder; `start` parses it."""
    parser = argparse.ArgumentParser()
    parser.add_argument("simulator")
    parser.add_argument("workdir")
    return parser


def start(parser):
    """Parses the command line and empties the work folder: no root of an earlier campaign
    stands in for one of this campaign."""
    options = parser.parse_args()
    shutil.rmtree(options.workdir, ignore_errors=True)
    os.makedirs(options.workdir)
    return options


def write_table(path, header, rows):
    """A campaign's results as a Markdown table (for the documentation) in `path`."""
    with open(path, "w") as out:
        out.write("| " + " | ".join(header) + " |\n|" + "---|" * len(header) + "\n")
        for row in rows:
            out.write("| " + " | ".join(str(cell) for cell in row) + " |\n")


def host(root, path):
    return root + path


def run_sim(simulator, root, scenario_text, fresh, name, timeout=300, settings=SHORT_SETTINGS,
            arguments=()):
    """Plays `scenario_text` on `root`, with further simulator `arguments` (e.g. the board's
    hardware version). Returns (exit code, stdout, stderr tail, seconds)."""
    os.makedirs(root, exist_ok=True)
    scenario = os.path.join(os.path.dirname(root), name + ".scn")
    with open(scenario, "w") as out:
        out.write(scenario_text)
    command = [simulator, "--headless", "--root", root, "--scenario", scenario,
               "--pressure-settings", settings] + list(arguments)
    if fresh:
        command.append("--fresh")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.monotonic()
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout, env=env,
                              errors="replace")
        code, stdout, stderr = done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired as expired:
        code, stdout, stderr = -1, expired.stdout or "", "timed out"
        if isinstance(stdout, bytes):
            stdout = stdout.decode(errors="replace")
    return code, stdout, stderr, time.monotonic() - start


def scenario_failure(stderr):
    lines = [line for line in stderr.splitlines() if line.startswith("scenario:")]
    return lines[-1] if lines else stderr.strip().splitlines()[-1:] or ["(no message)"]


def states_entered(stdout):
    return [int(line.split()[1]) for line in stdout.splitlines()
            if line.startswith("state ") and line.split()[1].isdigit()]


def parallel(jobs, work, items):
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(work, items))


# Scenario fragments. Each leaves the instrument in the named situation.
def to_home():
    # Home can come before the splash screen is gone (a boot with the vessel still full).
    return ["wait-state 3 60", "wait-shown pushButton_next 10"]


def to_lanes(mode="dpcr", lane=1):
    return to_home() + ["click pushButton_next", "wait-state 7", f"click pushButton_{mode}",
                        "wait-state 8", f"click pushButton_lane_{lane}"]


def password_keys(password):
    return [f"click pushButton_password_{digit}" for digit in password]


def to_service():
    return to_settings(SERVICE_PASSWORD)[:-1] + ["wait-state 14"]


def to_settings(password=ADMIN_PASSWORD):
    return to_home() + ["click pushButton_settings", "wait-state 13"] + password_keys(password) + \
        ["click pushButton_password_enter", "wait-text pushButton_settingsMenu_more More"]


# Checks of a root. Each returns a list of problems (empty: it holds).
def read_lines(path):
    with open(path, "rb") as handle:
        return handle.read()


def check_ini(root):
    path = host(root, INI)
    if not os.path.exists(path):
        return []  # a fresh instrument before its first save
    problems = []
    group = None
    for number, raw in enumerate(read_lines(path).decode(errors="replace").split("\n"), 1):
        line = raw.strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            group = line[1:-1]
            continue
        if "=" not in line or group is None:
            problems.append(f"vemla.ini line {number} is no key: {raw!r}")
            continue
        key, value = line.split("=", 1)
        if group in INI_TEXT_GROUPS:
            continue
        name = f"{group}/{key}"
        if name not in INI_KEYS:
            problems.append(f"vemla.ini: unknown key {name}")
            continue
        if not re.fullmatch(r"\d+", value):
            problems.append(f"vemla.ini: {name}={value!r} is no number")
        elif INI_KEYS[name] is not None and int(value) not in INI_KEYS[name]:
            problems.append(f"vemla.ini: {name}={value} is out of range")
    return problems


def ini_text(root, name):
    """The text of group/key in the settings file; None when there is none."""
    path = host(root, INI)
    if not os.path.exists(path):
        return None
    group, key = name.split("/")
    current = None
    for line in read_lines(path).decode(errors="replace").split("\n"):
        line = line.strip()
        if line.startswith("["):
            current = line[1:-1]
        elif current == group and line.startswith(key + "="):
            return line.split("=", 1)[1]
    return None


def ini_value(root, name, default=0):
    value = ini_text(root, name)
    return int(value) if value is not None and value.isdigit() else default


def error_records(root):
    """The error log's records (without the header); [] when there is no log."""
    path = host(root, ERRORS)
    if not os.path.exists(path):
        return []
    lines = read_lines(path).decode(errors="replace").split("\n")
    return [line for line in lines[1:] if line]


def check_error_log(root):
    path = host(root, ERRORS)
    if not os.path.exists(path):
        return []
    content = read_lines(path).decode(errors="replace")
    if not content:
        return []  # created, header lost with the power: the next record lays it again
    problems = []
    if not content.startswith(ERROR_HEADER):
        problems.append("errors.log has no header")
    if not content.endswith("\n"):
        problems.append("errors.log ends in a partial record")
    for line in content.split("\n")[1:]:
        if not line:
            continue
        fields = line.split("|")
        if len(fields) not in (6, 13):
            problems.append(f"errors.log record with {len(fields)} fields: {line!r}")
        elif not fields[2].isdigit() or int(fields[2]) not in KNOWN_CODES:
            problems.append(f"errors.log record with code {fields[2]!r}")
        elif not re.fullmatch(r"\d{8}-\d{6}", fields[0]):
            problems.append(f"errors.log record with time {fields[0]!r}")
    return problems


def run_logs(root):
    directory = host(root, PRODUCTION)
    if not os.path.isdir(directory):
        return []
    return sorted(name for name in os.listdir(directory) if RUN_LOG_NAME.match(name))


def partial_run_logs(root):
    """Run logs still being written (their temporary name): what a cut mid-write leaves."""
    directory = host(root, PRODUCTION)
    if not os.path.isdir(directory):
        return []
    return [name for name in os.listdir(directory) if name.endswith(".part")]


def check_run_logs(root):
    """Every file under a run log's name is a whole run log."""
    directory = host(root, PRODUCTION)
    problems = []
    for name in run_logs(root):
        lines = read_lines(os.path.join(directory, name)).decode(errors="replace")
        if not lines.endswith("\n"):
            problems.append(f"run log {name} ends in a partial line")
        rows = lines.split("\n")[:-1]
        if len(rows) < RUN_LOG_HEADER_LINES or not rows[0].startswith("File:\t\t"):
            problems.append(f"run log {name} has no whole header")
            continue
        bad = [row for row in rows[RUN_LOG_HEADER_LINES:] if not RUN_LOG_ROW.match(row)]
        if bad:
            problems.append(f"run log {name}: {len(bad)} malformed rows")
    return problems


def check_root(root):
    return check_ini(root) + check_error_log(root) + check_run_logs(root)
