#!/usr/bin/env python3
"""Judges an instrument root as the explorer does after a walk: the settings file parses with
every key in range, the error log holds whole records, every run log is whole, the production
id is at least MIN, and there are between MIN and MAX run logs.

usage: rootcheck.py ROOT [--min-id N] [--min-runlogs N] [--max-runlogs N]"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "campaigns"))
import campaign as c  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--min-id", type=int, default=0)
    parser.add_argument("--min-runlogs", type=int, default=0)
    parser.add_argument("--max-runlogs", type=int, default=None)
    options = parser.parse_args()
    problems = c.check_root(options.root)
    production_id = c.ini_value(options.root, "production/id")
    if production_id < options.min_id:
        problems.append(f"production id {production_id}, below {options.min_id}")
    logs = len(c.run_logs(options.root))
    if logs < options.min_runlogs:
        problems.append(f"{logs} run logs, fewer than the {options.min_runlogs} ended runs")
    if options.max_runlogs is not None and logs > options.max_runlogs:
        problems.append(f"{logs} run logs, more than the {options.max_runlogs} runs")
    for problem in problems:
        print(f"rootcheck: {problem}", file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
