"""The records a walk keeps an eye on: the settings file, the error log, the run logs and the
production id, judged against what the walk did (runs started and ended, power cuts)."""

import os
import time

import campaign as c

# A run's log is written as the run ends; on a loaded machine give it this long.
RUN_LOG_GRACE_SECONDS = 15
RUN_END_STATES = {3, 11, 15, 16}
# What the service menu (down to 1200) and the calibration (up to the ADC's 4095) can set.
LOWEST_THRESHOLD = 1200
HIGHEST_THRESHOLD = 4095
# Where a hostile stick's dangling backup link points (walk.py plugs it in).
PLANTED = "/usr/share/vemla/planted.ini"


class RecordBook:
    def __init__(self, root):
        self.root = root
        self.id_floor = 0
        self.started = 0  # production runs that reached the pre-ramp
        self.expected = 0  # of them, ended other than by a power cut
        self.run_active = False
        self.since_home = []
        self.grace_until = None
        self.waiting_for_log = False

    def state_entered(self, state):
        if state == 9 and 8 in self.since_home and not self.run_active:
            self.started += 1
            self.run_active = True
        elif self.run_active and state in RUN_END_STATES:
            self.run_active = False
            self.expected += 1
            self.grace_until = time.monotonic() + RUN_LOG_GRACE_SECONDS
        if state == 3:
            self.since_home = []
        self.since_home.append(state)

    def power_cut(self):
        """What a cut takes with it: a run in progress and a log not yet written."""
        self.run_active = False
        self.since_home = []
        self.expected = min(self.expected, len(c.run_logs(self.root)))

    def check(self, screen):
        """(problems, rootcheck.py arguments that judge the same)."""
        problems = c.check_root(self.root)
        texts = (screen or {}).get("texts", {}).values()
        if any(text == "Production ID is 0" for text in texts):
            self.id_floor = 0  # the operator reset it
        production_id = c.ini_value(self.root, "production/id")
        if production_id < self.id_floor:
            problems.append(f"production id went down from {self.id_floor} to {production_id}")
        self.id_floor = max(self.id_floor, production_id)
        threshold = c.ini_text(self.root, "drawer/safety_threshold")
        if threshold is not None and threshold.isdigit() and \
                not LOWEST_THRESHOLD <= int(threshold) <= HIGHEST_THRESHOLD:
            problems.append(f"drawer safety threshold {threshold} outside what can be set")
        if os.path.lexists(self.root + PLANTED):
            problems.append(f"a file was written through a stick's link: {PLANTED}")
        logs = len(c.run_logs(self.root))
        if logs > self.started:
            problems.append(f"{logs} run logs for {self.started} runs that reached the pre-ramp")
        self.waiting_for_log = False
        if logs < self.expected:
            if self.grace_until is not None and time.monotonic() > self.grace_until:
                problems.append(f"{logs} run logs for {self.expected} ended runs")
            else:
                self.waiting_for_log = True
        check = (f"--min-id {self.id_floor} --min-runlogs {self.expected} "
                 f"--max-runlogs {self.started}")
        return problems, check

    def asserts(self):
        return [f"sleep {RUN_LOG_GRACE_SECONDS}"]
