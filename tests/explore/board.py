"""One simulated instrument driven through its control channel (vemla8-sim --control).

The board is a vemla8-sim process on an instrument root. Every action is a scenario line sent
over the channel; the answer is "ok" or "fail <why>". A power cut or a power-off ends the
process (and the connection); an installed update restarts it in place (same process id, a
new channel). The process's standard output carries "state N NAME" per menu state entered,
"poweroff", "power-cut" and "restart"; they are read back from its log file."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import time

# The window is built and the splash painted before the channel listens; a loaded machine
# may take many seconds for that.
BOOT_SECONDS = 60
# No step of the explorer waits longer than this for its answer (sleeps and waits included).
ANSWER_SECONDS = 240
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "WARNING: ThreadSanitizer", "ERROR: UndefinedBehaviorSanitizer")


class BoardGone(Exception):
    """The connection ended: the board powered off, lost its power, restarted or crashed."""


class Board:
    def __init__(self, simulator, root, settings, workdir):
        self.simulator = simulator
        self.root = root
        self.settings = settings
        # A local socket's path is limited to about a hundred bytes: a short folder of its own.
        self.socket_dir = tempfile.mkdtemp(prefix="vemla-explore-")
        self.socket_path = os.path.join(self.socket_dir, "control")
        self.stdout_path = os.path.join(workdir, "board.out")
        self.stderr_path = os.path.join(workdir, "board.err")
        self.process = None
        self.connection = None
        self.reader = None
        self.stdout_offset = 0
        self.boots = 0

    # --- process
    def power_on(self, fresh):
        """Starts the board on its root (laid anew when `fresh`) and connects to it."""
        self.close()
        command = [self.simulator, "--headless", "--root", self.root, "--control",
                   self.socket_path, "--pressure-settings", self.settings]
        if fresh:
            command.append("--fresh")
        # A stick left in the port stays there across the power cycle, as the scenario
        # runner's own reboot does it.
        if not fresh and os.path.exists(self.root + "/dev/sda1"):
            command.append("--usb-inserted")
        if os.path.exists(self.socket_path):
            os.unlink(self.socket_path)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        with open(self.stdout_path, "ab") as out, open(self.stderr_path, "ab") as err:
            out.write(b"boot\n")
            out.flush()
            self.process = subprocess.Popen(command, stdout=out, stderr=err,
                                            stdin=subprocess.DEVNULL, env=env)
        self.boots += 1
        self.connect()

    def connect(self):
        deadline = time.monotonic() + BOOT_SECONDS
        while True:
            if self.process.poll() is not None:
                raise BoardGone(f"the board ended while booting (exit {self.process.returncode})")
            try:
                connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                connection.connect(self.socket_path)
                break
            except OSError:
                connection.close()
                if time.monotonic() > deadline:
                    raise BoardGone("the control channel did not come up")
                time.sleep(0.1)
        connection.settimeout(ANSWER_SECONDS)
        self.connection = connection
        self.reader = connection.makefile("rb")

    def close(self):
        if self.reader:
            self.reader.close()
        if self.connection:
            self.connection.close()
        self.reader = self.connection = None

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def wait_end(self, seconds):
        """Exit code of the process once it ended within `seconds`, else None."""
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        """Ends the board process the driver started (at the end of a walk)."""
        self.close()
        if self.alive():
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.socket_dir, ignore_errors=True)

    # --- channel
    def request(self, line):
        if not self.connection:
            raise BoardGone("not connected")
        try:
            self.connection.sendall(line.encode() + b"\n")
            answer = self.reader.readline()
        except (OSError, socket.timeout) as error:
            raise BoardGone(f"channel: {error}")
        if not answer:
            self.close()
            raise BoardGone("the channel closed")
        return answer.decode(errors="replace").rstrip("\n")

    def screen(self):
        return json.loads(self.request("screen"))

    def step(self, line):
        """Plays one scenario line; returns None when it held, else why it did not."""
        answer = self.request(line)
        return None if answer == "ok" else answer[len("fail "):]

    # --- what the process printed
    def new_output(self):
        """Lines of standard output since the last call."""
        with open(self.stdout_path, "rb") as out:
            out.seek(self.stdout_offset)
            data = out.read()
        end = data.rfind(b"\n") + 1
        self.stdout_offset += end
        return data[:end].decode(errors="replace").splitlines()

    def sanitizer_report(self):
        if not os.path.exists(self.stderr_path):
            return None
        with open(self.stderr_path, "rb") as err:
            text = err.read().decode(errors="replace")
        for mark in SANITIZER_MARKS:
            at = text.find(mark)
            if at >= 0:
                return text[at:at + 400]
        return None

    def stderr_tail(self, lines=15):
        if not os.path.exists(self.stderr_path):
            return ""
        with open(self.stderr_path, "rb") as err:
            return "\n".join(err.read().decode(errors="replace").splitlines()[-lines:])
