#!/usr/bin/env python3
"""The editor in a real pseudo-terminal, as a sysop sees it: the sample game's first player on the
screen, ] and [ moving through the players, Q ending with the credits, exit code 0 and the terminal
given back in its cooked mode."""
import os
import sys

from blackbox import Terminal, scratch_game


def main():
    editor, sample_game = sys.argv[1], sys.argv[2]
    with scratch_game(sample_game) as game:
        players = os.path.getsize(os.path.join(game, "PLAYER.DAT")) // 236
        # stty after the editor tells whether the terminal was given back in its cooked mode.
        term = Terminal(["/bin/sh", "-c", '"%s"; echo "EXIT=$?"; stty -a' % editor], game)
        screen = term.screen
        term.wait_for("Account Number: 0")
        assert "VarnEdit/32" in screen.row(0) and "v0.67 Beta" in screen.row(0), screen.row(0)
        assert "Real Name" in screen.row(2), screen.row(2)
        # Colour codes reach the terminal as colours: "`%** `@ Vexorn" and "`2) Real Name".
        for row, text, fg in ((0, "**", "white"), (0, "Vexorn", "red"), (2, "Real Name", "green")):
            assert screen.colour(row, text) == fg, (text, screen.colour(row, text))
        for key, account in (("]", 1), ("[", 0), ("[", players - 1)):  # the last [ wraps around
            term.send(key)
            term.wait_for("Account Number: %d" % account)
        term.send("q")
        term.wait_for_raw(b"EXIT=")
        term.finish()
        tail = term.raw.split(b"EXIT=", 1)[1].decode("utf-8", "replace")
        assert tail.startswith("0"), "exit code: " + tail[:20]
        assert "Zorvan/32 Credits:" in term.raw.decode("utf-8", "replace"), "no credits shown"
        settings = tail.split()
        for flag in ("icanon", "echo", "isig"):
            assert flag in settings and "-" + flag not in settings, "terminal left without " + flag
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
