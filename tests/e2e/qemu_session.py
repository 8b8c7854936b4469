#!/usr/bin/env python3
"""Drives one headless QEMU run the way a person at the machine would.

    qemu_session.py [--timeout S] [--log FILE] [--mouse] [--console N] [--qemu PROGRAM]
                    STEP... -- QEMU_ARG...

QEMU's serial port N (1 unless --console 2; what our boot code, isolinux and
the stand-in DOS print) goes to a file that the steps read; keys go in
through the monitor's `sendkey`, as if typed on the keyboard. With --mouse a
Microsoft serial mouse sits on COM1 (what the guest writes to COM1 is still
read when that is the console). --qemu names another QEMU (default
qemu-system-i386; qemu-system-x86_64 for 64-bit UEFI firmware). Steps, in order:

  expect=TEXT      wait until TEXT arrives after the previous expect's match
  absent=TEXT      fail if TEXT is anywhere in what has arrived so far
  type=TEXT        type TEXT (\\n is Enter, \\\\ a backslash)
  key=NAME         one sendkey name: ret, down, up, esc, tab, ...
  serial=TEXT      send TEXT to the guest on serial port N, as a terminal
                   there would (\\n is a carriage return: Enter)
  mouse=DX,DY      move the mouse (the serial mouse with --mouse)
  screen=TEXT      wait until TEXT shows on the text screen (80x25, lines
                   joined by \\n, each padded with blanks to 80 columns)
  offscreen=TEXT   fail if TEXT shows on the text screen now
  wait=SECONDS     sleep
  screendump=FILE  save the screen as PNG

Exit 0 when every step passed, 1 naming the step that failed (the serial
output is printed either way), 2 on a usage error, 77 when the QEMU is not
installed.
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
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


def connect_unix(path, deadline):
    """A connection to the unix socket QEMU listens on at `path`."""
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sock.connect(path)
            return sock
        except OSError:
            sock.close()
            if time.monotonic() > deadline:
                raise RuntimeError("QEMU's socket %s did not open" % os.path.basename(path))
            time.sleep(0.05)


class Monitor:
    """The human monitor on a unix socket: one command, then its prompt."""

    def __init__(self, path, deadline):
        self.sock = connect_unix(path, deadline)
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
    def __init__(self, qemu_args, log_path, timeout, mouse=False, console=1, serial_input=False, qemu=QEMU):
        self.timeout = timeout
        self.work = tempfile.mkdtemp(prefix="kiv_qemu.")
        self.log_path = log_path or os.path.join(self.work, "serial.txt")
        open(self.log_path, "wb").close()
        sock = os.path.join(self.work, "monitor.sock")
        args = [qemu]
        if "-m" not in qemu_args:
            args += ["-m", "64"]
        # The serial ports, COM1 first.
        serial_sock = os.path.join(self.work, "serial.sock")
        if serial_input:
            # A socket both ways; QEMU waits for us to connect before it starts.
            console_dev = ["-chardev", "socket,id=console,path=%s,server=on,wait=on" % serial_sock,
                           "-serial", "chardev:console"]
        else:
            console_dev = ["-serial", "file:" + self.log_path]
        if mouse:
            log = ",logfile=" + self.log_path if console == 1 else ""
            com1 = ["-chardev", "msmouse,id=mouse" + log, "-serial", "chardev:mouse"]
        else:
            com1 = ["-serial", "null"]
        ports = console_dev if console == 1 and not mouse else com1 + (console_dev if console == 2 else [])
        args += qemu_args + ["-display", "none"] + ports + [
            "-monitor", "unix:%s,server,nowait" % sock, "-no-reboot"]
        self.stderr = open(os.path.join(self.work, "qemu.err"), "w+")
        self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self.stderr,
                                     stderr=self.stderr)
        self.serial_sock = None
        if serial_input:
            self.serial_sock = connect_unix(serial_sock, time.monotonic() + timeout)
            threading.Thread(target=self._log_serial, daemon=True).start()
        self.monitor = Monitor(sock, time.monotonic() + timeout)
        self.seen_to = 0  # end of the last expect's match

    def _log_serial(self):
        with open(self.log_path, "ab") as log:
            while True:
                try:
                    data = self.serial_sock.recv(4096)
                except OSError:
                    return
                if not data:
                    return
                log.write(data)
                log.flush()

    def send_serial(self, text):
        for ch in text.replace("\n", "\r"):
            self.serial_sock.sendall(ch.encode("latin-1"))
            time.sleep(0.02)

    def screen(self):
        """The 80x25 text screen, one line of 80 characters per row."""
        reply = self.monitor.command("xp /2000hx 0xb8000")
        cells = []
        for line in reply.splitlines():
            if ":" not in line:
                continue
            cells += [int(word, 16) & 0xFF for word in line.split(":", 1)[1].split()
                      if word.startswith("0x")]
        text = bytes(cells[:2000]).decode("cp437")
        return "\n".join(text[row * 80:row * 80 + 80] for row in range(25))

    def on_screen(self, text):
        deadline = time.monotonic() + self.timeout
        while text not in self.screen():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.2)
        return True

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
        if self.serial_sock:
            self.serial_sock.close()
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
    if name == "serial":
        if not session.serial_sock:
            raise ValueError("serial= needs the console on a port without the mouse")
        session.send_serial(unescape(arg))
        return True
    if name == "mouse":
        dx, dy = (int(v) for v in arg.split(","))
        session.monitor.command("mouse_move %d %d" % (dx, dy))
        time.sleep(0.08)
        return True
    if name == "screen":
        return session.on_screen(unescape(arg)) or print(session.screen(), file=sys.stderr)
    if name == "offscreen":
        return unescape(arg) not in session.screen() or print(session.screen(), file=sys.stderr)
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
    parser.add_argument("--mouse", action="store_true")
    parser.add_argument("--console", type=int, choices=(1, 2), default=1)
    parser.add_argument("--qemu", default=QEMU)
    parser.add_argument("steps", nargs="*")
    opts = parser.parse_args(argv[:split])
    qemu_args = argv[split + 1:]
    if shutil.which(opts.qemu) is None:
        print("SKIPPED: %s is not installed (package qemu-system-x86)" % opts.qemu)
        return 77
    serial_input = any(step.startswith("serial=") for step in opts.steps)
    if serial_input and opts.mouse and opts.console == 1:
        print("serial= cannot type on COM1 while the mouse sits there", file=sys.stderr)
        return 2
    session = Session(qemu_args, opts.log, opts.timeout, opts.mouse, opts.console, serial_input, opts.qemu)
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
