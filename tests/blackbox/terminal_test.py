#!/usr/bin/env python3
"""The editor in a real pseudo-terminal as a sysop sees it: moves, resizes, Q with the terminal given
back cooked, and a closed terminal without SIGHUP."""
import sys
import time

from blackbox import MAIN, Terminal, exited, players, records, scratch_game, wait_until

SIGHUP_BLOCKED = ("import os, signal, sys; "
                  "signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGHUP}); "
                  "os.execv(sys.argv[1], sys.argv[1:])")
NOTICE = "Zorvan/32 needs 80x24; this terminal is %dx%d."


def resize(term, rows, columns, text):
    """Resizes, then waits for a clear screen after this point and the text drawn afresh."""
    mark = len(term.data)
    term.screen.resize(rows, columns)
    term.child.setwinsize(rows, columns)
    wait_until(lambda: b"\x1b[2J" in term.data[mark:] and text in term.text(), term.pump,
               lambda: "%r redrawn:\n%s" % (text, term.text()))


def terminal_gone(editor, game):
    """The sysop's connection drops and no SIGHUP reaches the editor (blocked here, as when strace
    or a wrapper script was the session leader): it must see the dead terminal itself and end with
    code 0, not wait on it for good (it used to spin there at full CPU)."""
    term = Terminal([sys.executable, "-c", SIGHUP_BLOCKED, editor], game)
    term.wait_for(MAIN % 0)
    term.child.ptyproc.fileobj.close()  # the terminal's master: the hang-up
    wait_until(lambda: not term.child.isalive(), lambda: time.sleep(0.1) or True,
               lambda: "the end after the hang-up", 10)
    exited(term.child.exitstatus)


def main():
    editor, sample_game = sys.argv[1], sys.argv[2]
    with scratch_game(sample_game) as game:
        # stty after the editor tells whether the terminal was given back in its cooked mode.
        term = Terminal(["/bin/sh", "-c", '"%s"; echo "EXIT=$?"; stty -a' % editor], game)
        term.wait_for(MAIN % 0)
        last = len(records(players(game))) - 1
        for key, account in (("]", 1), ("[", 0), ("[", last)):  # the last [ wraps around
            term.send(key)
            term.wait_for(MAIN % account)
        resize(term, 23, 80, NOTICE % (80, 23))
        assert "Account Number" not in term.text(), term.text()  # nothing of the screen garbled
        term.send("]")  # keys keep working while only the notice shows
        # 80x24 shows the screen; a prompt on its 25th row scrolls the view up one.
        resize(term, 24, 80, MAIN % 0)
        assert "VarnEdit/32" in term.row(0), term.text()
        term.send("2")
        term.wait_for("Enter Game Level")
        assert term.row(23).strip() == ">", term.text()
        term.send("\x1b")
        term.wait_gone("Enter Game Level")
        resize(term, 25, 80, MAIN % 0)
        resize(term, 40, 120, "Input key to change")
        term.send("]")
        term.wait_for(MAIN % 1)
        resize(term, 20, 40, (NOTICE % (40, 20))[:40])
        assert not term.row(1).strip(), "the notice wrapped: " + term.row(1)
        resize(term, 25, 80, MAIN % 1)
        term.quit()
        term.finish()
        settings = term.data.split(b"EXIT=", 1)[1].decode("utf-8", "replace").split()
        assert settings[0] == "0", "exit code: %s" % settings[:1]
        for flag in ("icanon", "echo", "isig"):
            assert flag in settings and "-" + flag not in settings, "terminal left without " + flag
        terminal_gone(editor, game)
    print("editor terminal: passed")


if __name__ == "__main__":
    main()
