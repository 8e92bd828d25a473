"""The map the walks are measured against: the menu states and the state-to-state transitions
of the instrument's screen flow (the menu table, the navigation table, the settings access and
the calibration procedure). "boot" stands for the construction of the window."""

STATES = {
    1: "Initializing menu", 2: "Initial pressurizing menu", 3: "Home menu",
    4: "Open drawer menu", 5: "Close drawer menu", 6: "Stop drawer menu",
    7: "Mode selection menu", 8: "Lane selection menu", 9: "Ramp-up menu",
    10: "Running menu", 11: "Droplets ready menu", 12: "Pressurizing menu",
    13: "Settings menu", 14: "(service menu)", 15: "Error menu", 16: "Shutdown menu",
    17: "Calibration start menu", 18: "Calibration open menu", 19: "Calibration insert menu",
    20: "Calibration caution menu", 21: "Calibration in progress menu",
    22: "Calibration ready menu", 23: "Calibration finished menu",
    24: "Calibration cancel menu",
}

# Why a state of the table is never seen entered: the window sets it without the entry actions.
NOT_ENTERED = {1: "set directly by the constructor, before any observer can see an entry"}

# (from, to, trigger). "*" stands for any state (but 16 for the errors).
TRANSITIONS = [
    ("boot", 2, "drawer recorded closed, no pending error"),
    ("boot", 15, "pending error, or drawer not recorded closed"),
    (2, 3, "pump at its upper limit"),
    (2, 15, "no pressure rise (error 7)"),
    (12, 15, "no pressure rise (error 7)"),
    (3, 4, "Open"),
    (3, 7, "Next"),
    (3, 13, "Settings"),
    (4, 5, "Close (toggle)"),
    (5, 5, "Close/Open (toggle)"),
    (4, 3, "drawer reported closed"),
    (5, 3, "drawer reported closed"),
    (7, 8, "dPCR / dMDA"),
    (7, 3, "Back"),
    (8, 12, "Run, vessel below 3000 mbar"),
    (8, 9, "Run, vessel 3000 mbar or more"),
    (12, 9, "pressurized with a run pending"),
    (9, 10, "ramp finished"),
    (9, 6, "Stop during the ramp"),
    (10, 6, "Stop during the active time"),
    (6, 3, "Yes to the stop question"),
    (10, 11, "countdown reaches 0"),
    (11, 3, "Finish"),
    (15, 4, "error screen Open"),
    (15, 5, "error screen Close"),
    (15, 2, "error screen Open/Close, pressurize first"),
    (15, 13, "error screen Settings"),
    ("*", 15, "a blocking error"),
    ("*", 16, "power button"),
    (13, 14, "service code"),
    (13, 17, "calibration code"),
    (17, 3, "calibration start: Back"),
    (17, 18, "calibration start: Open"),
    (18, 19, "drawer opened"),
    (19, 20, "Ready"),
    (20, 21, "Ready"),
    (21, 21, "a measuring cycle done"),
    (21, 22, "third cycle done"),
    (22, 23, "Save"),
    (22, 24, "Cancel"),
    (24, 19, "recalibrate"),
    (24, 23, "no recalibration"),
    (23, 5, "Close"),
]


def transitions_of(states):
    """Consecutive pairs of one boot's states, the boot itself first."""
    previous = "boot"
    pairs = []
    for state in states:
        pairs.append((previous, state))
        previous = state
    return pairs


def table_rows_taken(pairs):
    """The table's rows, each with whether a pair of `pairs` took it."""
    rows = []
    for source, target, trigger in TRANSITIONS:
        if source == "*":
            taken = any(b == target and a != target and (target != 15 or a != 16)
                        for a, b in pairs)
        else:
            taken = (source, target) in pairs
        rows.append((source, target, trigger, taken))
    return rows


def report(states, pairs, reasons):
    """Markdown: the states and the table's transitions reached, the unreached ones with the
    reason known for them, and the transitions taken that the table does not list."""
    lines = ["# Explorer coverage", "", "## Menu states", "",
             "| state | name | reached |", "|---|---|---|"]
    for number, name in STATES.items():
        seen = "yes" if number in states else "no: " + NOT_ENTERED.get(
            number, reasons.get(str(number), "not reached by any walk"))
        lines.append(f"| {number} | {name} | {seen} |")
    lines += ["", "## Transitions of the screen flow", "",
              "| from | to | trigger | taken |", "|---|---|---|---|"]
    for source, target, trigger, taken in table_rows_taken(pairs):
        key = f"{source}->{target}"
        seen = "yes" if taken else "no: " + reasons.get(key, "not taken by any walk")
        lines.append(f"| {source} | {target} | {trigger} | {seen} |")
    listed = {(a, b) for a, b, _ in TRANSITIONS}
    extra = sorted([(a, b) for a, b in pairs if (a, b) not in listed
                    and not (b in (15, 16) and ("*", b) in listed)], key=str)
    lines += ["", "## Transitions taken beyond the table", "",
              ", ".join(f"{a}->{b}" for a, b in extra) or "none", ""]
    return "\n".join(lines)
