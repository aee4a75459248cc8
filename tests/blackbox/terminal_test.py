#!/usr/bin/env python3
"""The editor in a real pseudo-terminal, as a sysop sees it: the sample game's first player on the
screen, ] and [ moving through the players, Q ending with the credits, exit code 0 and the terminal
given back in its cooked mode."""
import os
import shutil
import sys
import tempfile
import time

import pexpect
import pyte

COLUMNS, ROWS = 80, 25


class Terminal:
    def __init__(self, command, cwd):
        self.screen = pyte.Screen(COLUMNS, ROWS)
        self.stream = pyte.ByteStream(self.screen)
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
        self.child = pexpect.spawn("/bin/sh", ["-c", command], cwd=cwd, env=env,
                                   dimensions=(ROWS, COLUMNS))
        self.raw = b""

    def pump(self, timeout=0.2):
        try:
            data = self.child.read_nonblocking(65536, timeout=timeout)
        except pexpect.TIMEOUT:
            return False
        except pexpect.EOF:
            return None
        self.raw += data
        self.stream.feed(data)
        return True

    def text(self):
        return "\n".join(self.screen.display)

    def wait_for(self, needle, seconds=20):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if needle in self.text():
                return
            if self.pump() is None and needle not in self.text():
                break
        raise AssertionError("never shown: %r\nscreen:\n%s" % (needle, self.text()))

    def wait_for_raw(self, needle, seconds=20):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and needle not in self.raw:
            if self.pump() is None:
                break
        if needle not in self.raw:
            raise AssertionError("never sent: %r\ntail: %r" % (needle, self.raw[-400:]))


def main():
    editor, sample_game = sys.argv[1], sys.argv[2]
    scratch = tempfile.mkdtemp(prefix="zorvan-tty-")
    try:
        shutil.copytree(sample_game, scratch, dirs_exist_ok=True)
        with open(os.path.join(scratch, "ZORVAN32.CFG"), "wb") as cfg:
            cfg.write(scratch.encode() + b"/\r\n")
        players = os.path.getsize(os.path.join(scratch, "PLAYER.DAT")) // 236
        # stty after the editor tells whether the terminal was given back in its cooked mode.
        term = Terminal('"%s"; echo "EXIT=$?"; stty -a' % editor, scratch)
        term.wait_for("Account Number: 0")
        top = term.screen.display[0]
        assert "VarnEdit/32" in top and "v0.67 Beta" in top, top
        assert "Real Name" in term.screen.display[2], term.screen.display[2]
        # Colour codes reach the terminal as colours: "`%** `@ Vexorn" and "`2) Real Name".
        def colour(row, text):
            return term.screen.buffer[row][term.screen.display[row].index(text)].fg
        assert colour(0, "**") == "white", colour(0, "**")
        assert colour(0, "Vexorn") == "red", colour(0, "Vexorn")
        assert colour(2, "Real Name") == "green", colour(2, "Real Name")
        term.child.send("]")
        term.wait_for("Account Number: 1")
        term.child.send("[")
        term.wait_for("Account Number: 0")
        term.child.send("[")  # wraps to the last player
        term.wait_for("Account Number: %d" % (players - 1))
        term.child.send("q")
        term.wait_for_raw(b"EXIT=")
        term.child.expect(pexpect.EOF, timeout=20)
        term.raw += term.child.before or b""
        tail = term.raw.split(b"EXIT=", 1)[1].decode("utf-8", "replace")
        assert tail.startswith("0"), "exit code: " + tail[:20]
        assert "Zorvan/32 Credits:" in term.raw.decode("utf-8", "replace"), "no credits shown"
        settings = tail.split()
        for flag in ("icanon", "echo", "isig"):
            assert flag in settings and "-" + flag not in settings, "terminal left without " + flag
        print("1 passed, 0 failed")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
