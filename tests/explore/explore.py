#!/usr/bin/python3
"""The operator explorer: seeded walks over the simulated instrument, side by side, until the
budget is spent. Each walk (walk.py) is a Hypothesis state machine that presses what the
screen offers, types the passwords and codes, plugs sticks, switches faults, lets time pass,
cuts the power and presses the power button, checking the invariants after every step.

usage: explore.py SIMULATOR OUTDIR --seed N --budget SECONDS [--jobs N] [--steps N]
                  [--shrink-seconds S]

OUTDIR gets walker-K/ per walk process (result.json; the roots of failing walks and their
shrinking), failures/walker-K/ with the shrunk scenario of each failure, coverage.md and summary.json. The last line
reads "explore: W walks, S steps, X states, T transitions, F failures"; with --strict the exit
status is 1 when a walk failed (ctest), else 0 once the walks ran (the line says it all)."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import coverage  # noqa: E402

# Walk seeds of one explorer seed: far apart, so that seeds 1 and 2 share no walk.
SEEDS_PER_EXPLORER_SEED = 100000


def run_walks(options):
    start = time.time()
    deadline = start + options.budget
    running = {}
    results = {}
    index = 0
    while running or time.time() < deadline:
        while len(running) < options.jobs and time.time() < deadline:
            workdir = os.path.join(options.outdir, f"walker-{index}")
            seed = options.seed * SEEDS_PER_EXPLORER_SEED + index
            command = [sys.executable, os.path.join(HERE, "walk.py"), options.simulator,
                       workdir, "--seed", str(seed), "--steps", str(options.steps),
                       "--deadline", str(deadline), "--shrink-seconds",
                       str(options.shrink_seconds), "--name", f"explore_{seed}"]
            if options.replay:
                command.append("--replay")
            os.makedirs(workdir, exist_ok=True)
            log = open(os.path.join(workdir, "walk.log"), "w")
            running[index] = (subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT,
                                               stdin=subprocess.DEVNULL), log, workdir, seed)
            index += 1
        for number, (process, log, workdir, seed) in list(running.items()):
            if process.poll() is None:
                continue
            log.close()
            del running[number]
            results[number] = read_result(workdir, seed, process.returncode)
            report_walk(number, results[number])
        time.sleep(0.5)
    return [results[number] for number in sorted(results)]


def read_result(workdir, seed, code):
    path = os.path.join(workdir, "result.json")
    if not os.path.exists(path):
        with open(os.path.join(workdir, "walk.log")) as log:
            tail = log.read()[-1500:]
        return {"seed": seed, "walks": [], "workdir": workdir,
                "failure": {"kind": "explorer", "message": f"walk exited {code}: {tail}"}}
    with open(path) as result:
        data = json.load(result)
    data["workdir"] = workdir
    return data


def report_walk(number, result):
    walks = result["walks"]
    states = sorted({state for walk in walks for boot in walk["states"] for state in boot})
    steps = sum(walk["steps"] for walk in walks)
    line = (f"walker {number} (seed {result['seed']}): {len(walks)} walks, {steps} steps, "
            f"states {states}")
    failure = result.get("failure")
    if failure:
        line += f"\n  FAILED {failure['kind']}: {failure['message'][:400]}"
        if failure.get("folder"):
            line += (f"\n  scenario ({failure['lines']} lines, shrunk from "
                     f"{failure['first_lines']}): {failure['folder']}")
        if failure.get("replay_fails") is not None:
            line += "\n  its replay " + ("fails too" if failure["replay_fails"] else "holds")
    print(line, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("simulator")
    parser.add_argument("outdir")
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--budget", type=float, required=True)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--steps", type=int, default=40)
    parser.add_argument("--shrink-seconds", type=float, default=300)
    parser.add_argument("--strict", action="store_true")
    parser.add_argument("--replay", action="store_true",
                        help="replay each failure's scenario through the scenario runner")
    options = parser.parse_args()
    options.simulator = os.path.abspath(options.simulator)
    # The walks' control sockets are named by path: a relative one is no local socket name.
    options.outdir = os.path.abspath(options.outdir)
    shutil.rmtree(options.outdir, ignore_errors=True)
    os.makedirs(options.outdir)

    results = run_walks(options)
    states, pairs, steps, walks, failures = set(), set(), 0, 0, []
    for result in results:
        for walk in result["walks"]:
            walks += 1
            steps += walk["steps"]
            for boot in walk["states"]:
                states.update(boot)
                pairs.update(coverage.transitions_of(boot))
        failure = result.get("failure")
        if failure:
            failures.append(failure)
            if failure.get("folder"):
                shutil.copytree(failure["folder"], os.path.join(
                    options.outdir, "failures", os.path.basename(result["workdir"])))
    with open(os.path.join(options.outdir, "coverage.md"), "w") as out:
        out.write(coverage.report(states, pairs, {}))
    summary = {"walks": walks, "steps": steps, "states": sorted(states),
               "transitions": sorted(f"{a}->{b}" for a, b in pairs),
               "failures": failures, "seed": options.seed, "budget": options.budget}
    with open(os.path.join(options.outdir, "summary.json"), "w") as out:
        json.dump(summary, out, indent=1)
    print(f"coverage: {options.outdir}/coverage.md", flush=True)
    print(f"explore: {walks} walks, {steps} steps, {len(states)} states, "
          f"{len(pairs)} transitions, {len(failures)} failures", flush=True)
    sys.exit(1 if failures and options.strict else 0)


if __name__ == "__main__":
    main()
