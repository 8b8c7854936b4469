#!/usr/bin/env python3
"""Drives one headless QEMU run the way a person at the machine would.

    qemu_session.py [--timeout S] [--log FILE] STEP... -- QEMU_ARG...

QEMU's first serial port (what our boot code, isolinux and the stand-in DOS
print) goes to a file that the steps read; keys go in through the monitor's
`sendkey`, as if typed on the keyboard. Steps, in order:

  expect=TEXT      wait until TEXT arrives after the previous expect's match
  absent=TEXT      fail if TEXT is anywhere in what has arrived so far
  type=TEXT        type TEXT (\\n is Enter, \\\\ a backslash)
  key=NAME         one sendkey name: ret, down, up, esc, tab, ...
  wait=SECONDS     sleep
  screendump=FILE  save the screen as PNG

Exit 0 when every step passed, 1 naming the step that failed (the serial
output is printed either way), 2 on a usage error, 77 when qemu-system-i386
is not installed.
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

QEMU = "qemu-system-i386"

# Characters that sendkey names differently from themselves; a second value
# means the key is typed with shift held.
_KEYS = {
    " ": "spc", "\n": "ret", "-": "minus", "=": "equal", "[": "bracket_left",
    "]": "bracket_right", ";": "semicolon", "'": "apostrophe", "`": "grave_accent",
    "\\": "backslash", ",": "comma", ".": "dot", "/": "slash",
}
_SHIFTED = {
    "!": "1", "@": "2", "#": "3", "$": "4", "%": "5", "^": "6", "&": "7", "*": "8",
    "(": "9", ")": "0", "_": "minus", "+": "equal", "{": "bracket_left",
    "}": "bracket_right", ":": "semicolon", '"': "apostrophe", "~": "grave_accent",
    "|": "backslash", "<": "comma", ">": "dot", "?": "slash",
}


def key_name(ch):
    """The sendkey name that types `ch` on a US keyboard."""
    if ch in _KEYS:
        return _KEYS[ch]
    if ch in _SHIFTED:
        return "shift-" + _SHIFTED[ch]
    if ch.isascii() and (ch.isdigit() or ch.islower()):
        return ch
    if ch.isascii() and ch.isupper():
        return "shift-" + ch.lower()
    raise ValueError("no key types %r" % ch)


def unescape(text):
    """\\n -> newline, \\\\ -> backslash; any other backslash stays as it is."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "n\\":
            out.append("\n" if text[i + 1] == "n" else "\\")
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


class Monitor:
    """The human monitor on a unix socket: one command, then its prompt."""

    def __init__(self, path, deadline):
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise RuntimeError("QEMU's monitor did not open")
                time.sleep(0.05)
        self.sock.settimeout(10)
        self._until_prompt()

    def _until_prompt(self):
        data = b""
        while not data.endswith(b"(qemu) "):
            chunk = self.sock.recv(4096)
            if not chunk:
                raise RuntimeError("QEMU's monitor closed")
            data += chunk
        return data.decode("latin-1")

    def command(self, line):
        self.sock.sendall(line.encode() + b"\n")
        return self._until_prompt()


class Session:
    def __init__(self, qemu_args, log_path, timeout):
        self.timeout = timeout
        self.work = tempfile.mkdtemp(prefix="kiv_qemu.")
        self.log_path = log_path or os.path.join(self.work, "serial.txt")
        open(self.log_path, "wb").close()
        sock = os.path.join(self.work, "monitor.sock")
        args = [QEMU]
        if "-m" not in qemu_args:
            args += ["-m", "64"]
        args += qemu_args + ["-display", "none", "-serial", "file:" + self.log_path,
                             "-monitor", "unix:%s,server,nowait" % sock, "-no-reboot"]
        self.stderr = open(os.path.join(self.work, "qemu.err"), "w+")
        self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self.stderr,
                                     stderr=self.stderr)
        self.monitor = Monitor(sock, time.monotonic() + timeout)
        self.seen_to = 0  # end of the last expect's match

    def serial(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("latin-1").replace("\r", "")

    def expect(self, text):
        deadline = time.monotonic() + self.timeout
        while True:
            found = self.serial().find(text, self.seen_to)
            if found >= 0:
                self.seen_to = found + len(text)
                return True
            if self.proc.poll() is not None or time.monotonic() > deadline:
                return self.serial().find(text, self.seen_to) >= 0
            time.sleep(0.1)

    def type(self, text):
        for ch in text:
            self.monitor.command("sendkey " + key_name(ch))
            time.sleep(0.08)  # the guest polls its keyboard; do not outrun it

    def close(self):
        try:
            self.monitor.command("quit")
        except (OSError, RuntimeError):
            pass
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.stderr.seek(0)
        errors = self.stderr.read()
        self.stderr.close()
        shutil.rmtree(self.work, ignore_errors=True)
        return errors


def run_step(session, step):
    name, sep, arg = step.partition("=")
    if not sep:
        raise ValueError("step %r has no '='" % step)
    if name == "expect":
        return session.expect(unescape(arg))
    if name == "absent":
        return unescape(arg) not in session.serial()
    if name == "type":
        session.type(unescape(arg))
        return True
    if name == "key":
        session.monitor.command("sendkey " + arg)
        time.sleep(0.08)
        return True
    if name == "wait":
        time.sleep(float(arg))
        return True
    if name == "screendump":
        reply = session.monitor.command("screendump %s -f png" % os.path.abspath(arg))
        return os.path.isfile(arg) or print(reply.strip(), file=sys.stderr)
    raise ValueError("unknown step %r" % name)


def main(argv):
    if "--" not in argv:
        print(__doc__, file=sys.stderr)
        return 2
    split = argv.index("--")
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--log")
    parser.add_argument("steps", nargs="*")
    opts = parser.parse_args(argv[:split])
    qemu_args = argv[split + 1:]
    if shutil.which(QEMU) is None:
        print("SKIPPED: %s is not installed (package qemu-system-x86)" % QEMU)
        return 77
    session = Session(qemu_args, opts.log, opts.timeout)
    failed = None
    try:
        for step in opts.steps:
            try:
                ok = run_step(session, step)
            except (ValueError, RuntimeError, OSError) as e:
                print("step %r: %s" % (step, e), file=sys.stderr)
                ok = False
            if not ok:
                failed = step
                break
    finally:
        output = session.serial()
        errors = session.close()
    print("--- serial output ---")
    print(output)
    print("---------------------")
    if failed is not None:
        if errors.strip():
            print(errors, file=sys.stderr)
        print("FAIL: step %r" % failed, file=sys.stderr)
        return 1
    print("all %d steps passed" % len(opts.steps))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
