#!/usr/bin/env python3
"""Concurrent writers of PLAYER.DAT: our game node rewrites stamped records under the exclusive open
while two editors, driven by keys in pseudo-terminals, rename players again and again. Afterwards
every record is whole with its reserved bytes as the node wrote them, and each editor's last saved
name is on disk.
  writers_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import itertools
import os
import subprocess
import sys
import time

from blackbox import MAIN, PROMPT, Terminal, nickname, scratch_game

BUSY = "PLAYER.DAT is busy!"
# Letters only (the name field takes nothing else), each different.
NAMES = ("Ed" + "".join(p) for p in itertools.product(*["ABCDEFGHIJKLMNOPQRSTUVWXYZ"] * 3))


def open_on(editor, game, account):
    term = Terminal([editor], game)
    term.wait_for(MAIN % 0)
    for n in range(1, account + 1):
        term.send("]")
        term.wait_for(MAIN % n)
    return term


def main(editor, node, sample):
    with scratch_game(sample) as game:
        player_dat = os.path.join(game, "PLAYER.DAT")
        assert subprocess.run([node, "stamp", player_dat]).returncode == 0
        editors = {1: open_on(editor, game, 1), 2: open_on(editor, game, 2)}
        seconds = 10
        writer = subprocess.Popen([node, "run", player_dat, str(seconds), "7"],
                                  stdout=subprocess.PIPE, text=True)
        saved = {}
        renames = 0
        deadline = time.monotonic() + seconds - 1
        # Both editors save at once, again and again, while the node rewrites records.
        while time.monotonic() < deadline:
            wanted = {n: next(NAMES) for n in editors}
            for n, term in editors.items():
                term.rename(wanted[n].encode(), finish=False)
            for n, term in editors.items():
                term.wait_gone(PROMPT)
                # A save that did not reach the file says so under the screen.
                if BUSY not in term.text():
                    saved[n] = wanted[n].encode()
            renames += 1
        out, _ = writer.communicate(timeout=60)
        print(out.strip(), "; %d renames by each editor" % renames)
        assert writer.returncode == 0, "the node met a record that was not whole"
        assert renames > 5 and len(saved) == 2, "too few saves: %d, %s" % (renames, saved)
        for n, name in saved.items():
            assert nickname(game, n) == name, (n, name, nickname(game, n))
        for term in editors.values():
            term.quit()
            assert term.finish() == 0, "exit code %s" % term.child.exitstatus
        check = subprocess.run([node, "check", player_dat], stdout=subprocess.PIPE, text=True)
        assert check.returncode == 0, check.stdout


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
    print("concurrent writers: passed")
