#!/usr/bin/env python3
"""Soak: back-to-back production runs with short settings in one process. The resident memory
and the open descriptors of the process (the program with the simulated instrument) are taken
before the first run and after each one; they must stay flat, every run must leave its log and
the production ID must end at the number of runs.

usage: soak.py SIMULATOR WORKDIR [--runs N] [--rss-growth-kb KB]
"""

import os
import sys

import campaign as c

MEASUREMENTS = "/sim/soak-resources.txt"


def scenario(runs):
    steps = ["wait-state 3 60", f"measure {MEASUREMENTS}"]
    for run in range(1, runs + 1):
        # Lanes and modes vary, so every path of the run is taken again and again.
        mode = "dpcr" if run % 2 else "dmda"
        steps += ["click pushButton_next", "wait-state 7", f"click pushButton_{mode}", "wait-state 8",
                  f"click pushButton_lane_{(run - 1) % 8 + 1}", "click pushButton_run",
                  "wait-state 11 120", f"expect-text label_dropletReady Production ID: {run}",
                  "click pushButton_dropletsReady_finish", "wait-state 3 60",
                  f"measure {MEASUREMENTS}"]
    return "\n".join(steps) + "\n"


def main():
    parser = c.argument_parser()
    parser.add_argument("--runs", type=int, default=50)
    # A run's rows and texts come and go; what a leak of one run's storage would add up to
    # over the soak is well above this.
    parser.add_argument("--rss-growth-kb", type=int, default=2048)
    options = c.start(parser)
    root = os.path.join(options.workdir, "root")
    code, _, stderr, seconds = c.run_sim(options.simulator, root, scenario(options.runs), True,
                                         "soak", timeout=60 * options.runs + 120,
                                         settings=c.SOAK_SETTINGS)
    problems = [] if code == 0 else [c.scenario_failure(stderr)]
    with open(c.host(root, MEASUREMENTS)) as handle:
        samples = [tuple(int(v) for v in line.split()) for line in handle if line.strip()]
    if len(samples) != options.runs + 1:
        problems.append(f"{len(samples)} measurements for {options.runs} runs")
    # The first run lays the caches of the run's pages and fonts: the soak is judged from there.
    first, settled, last = samples[0], samples[min(1, len(samples) - 1)], samples[-1]
    growth = last[1] - settled[1]
    if growth > options.rss_growth_kb:
        problems.append(f"resident memory grew {growth} kB after the first run")
    if last[2] > settled[2]:
        problems.append(f"open descriptors {settled[2]} after the first run, {last[2]} at the end")
    logs = c.run_logs(root)
    if len(logs) != options.runs:
        problems.append(f"{len(logs)} run logs for {options.runs} runs")
    missing = [n for n in range(1, options.runs + 1)
               if not any(name.startswith(f"{n}_") for name in logs)]
    if missing:
        problems.append(f"no run log of runs {missing}")
    if c.ini_value(root, "production/id") != options.runs:
        problems.append(f"production id {c.ini_value(root, 'production/id')}")
    problems += c.check_root(root)
    print(f"soak: {options.runs} runs in {seconds:.0f} s; resident memory {first[1]} kB before "
          f"the first run, {settled[1]} kB after it, {last[1]} kB after the last; open "
          f"descriptors {first[2]}, {settled[2]}, {last[2]}; {len(logs)} run logs; production "
          f"id {c.ini_value(root, 'production/id')}")
    for problem in problems:
        print("soak: FAILED: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
