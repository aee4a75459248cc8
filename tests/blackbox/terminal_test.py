#!/usr/bin/env python3
"""The editor in a real pseudo-terminal as a sysop sees it: moves, resizes, Q with the terminal given
back cooked, and a closed terminal without SIGHUP."""
import fcntl
import os
import signal
import struct
import subprocess
import sys
import termios

from blackbox import COLUMNS, MAIN, ROWS, Caller, PtyLine, Terminal, scratch_game, wait_until

NOTICE = "Zorvan/32 needs 80x25; this terminal is %dx%d."


def resize(term, rows, columns):
    term.screen.resize(rows, columns)
    term.child.setwinsize(rows, columns)


def redrawn_whole(term, rows, columns, text):
    """Resizes, then waits for a clear screen after this point and the text drawn afresh."""
    mark = len(term.data)
    resize(term, rows, columns)
    wait_until(lambda: b"\x1b[2J" in term.data[mark:] and text in term.text(), term.pump,
               lambda: "%r redrawn:\n%s" % (text, term.text()))


def terminal_gone(editor, game):
    """The sysop's connection drops and no SIGHUP reaches the editor (blocked here, as when strace
    or a wrapper script was the session leader): it must see the dead terminal itself and end with
    code 0, not wait on it for good (it used to spin there at full CPU)."""
    line = PtyLine()
    fcntl.ioctl(line.slave, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLUMNS, 0, 0))

    def own_terminal_sighup_blocked():
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGHUP})
    editor = subprocess.Popen([editor], stdin=line.slave, stdout=line.slave, stderr=line.slave,
                              cwd=game, env=dict(os.environ, LANG="C.UTF-8", TERM="xterm"),
                              start_new_session=True, preexec_fn=own_terminal_sighup_blocked)
    os.close(line.slave)
    try:
        Caller(line, encoding="utf-8").wait_for(MAIN % 0)
        line.hang_up()
        assert editor.wait(10) == 0, "exit code %s" % editor.returncode
    finally:
        editor.kill()


def main():
    editor, sample_game = sys.argv[1], sys.argv[2]
    with scratch_game(sample_game) as game:
        players = os.path.getsize(os.path.join(game, "PLAYER.DAT")) // 236
        # stty after the editor tells whether the terminal was given back in its cooked mode.
        term = Terminal(["/bin/sh", "-c", '"%s"; echo "EXIT=$?"; stty -a' % editor], game)
        screen = term
        term.wait_for(MAIN % 0)
        assert "VarnEdit/32" in screen.row(0) and "v0.67 Beta" in screen.row(0), screen.row(0)
        # Colour codes reach the terminal as colours: "`%** `@ Vexorn" and "`2) Real Name".
        for row, text, fg in ((0, "**", "white"), (0, "Vexorn", "red"), (2, "Real Name", "green")):
            assert screen.colour(row, text) == fg, (text, screen.colour(row, text))
        for key, account in (("]", 1), ("[", 0), ("[", players - 1)):  # the last [ wraps around
            term.send(key)
            term.wait_for(MAIN % account)
        resize(term, 24, 80)
        term.wait_for(NOTICE % (80, 24))
        assert "Account Number" not in screen.text(), screen.text()  # nothing of the screen garbled
        term.send("]")  # keys keep working while only the notice shows
        redrawn_whole(term, 25, 80, MAIN % 0)
        redrawn_whole(term, 40, 120, "Input key to change")
        term.send("]")
        term.wait_for(MAIN % 1)
        # The 80x25 screen in the top-left corner, nothing beside or below it.
        assert "VarnEdit/32" in screen.row(0) and MAIN % 1 in screen.row(1), screen.text()
        assert all(not screen.row(n)[80:].strip() for n in range(40)), screen.text()
        assert all(not screen.row(n).strip() for n in range(25, 40)), screen.text()
        resize(term, 20, 40)
        term.wait_for((NOTICE % (40, 20))[:40])
        assert not screen.row(1).strip(), "the notice wrapped: " + screen.row(1)
        redrawn_whole(term, 25, 80, MAIN % 1)
        # New Day asks two numbers on one row: the second prompt keeps nothing of the first's.
        term.send("*")
        term.wait_for("Old value: 15")
        term.send("15\r")
        term.wait_for("Enter Player Fights Left")
        row = next(r for r in screen.screen.display if "Enter Player Fights" in r)
        assert row.rstrip().endswith("Old value: 3"), "stale text on the prompt: " + row
        term.send("3\r")
        term.wait_gone("Enter Player Fights Left")
        term.send("q")
        term.wait_for_data(b"EXIT=")
        term.finish()
        tail = term.data.split(b"EXIT=", 1)[1].decode("utf-8", "replace")
        assert tail.startswith("0"), "exit code: " + tail[:20]
        assert b"Zorvan/32 Credits:" in term.data, "no credits shown"
        settings = tail.split()
        for flag in ("icanon", "echo", "isig"):
            assert flag in settings and "-" + flag not in settings, "terminal left without " + flag
        terminal_gone(editor, game)
    print("editor terminal: passed")


if __name__ == "__main__":
    main()
