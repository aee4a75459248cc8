#!/usr/bin/env python3
"""Under Wine, a Windows node of ours holds PLAYER.DAT with share mode 0: the save waits, says busy,
and Q saves once the node lets go.
  wine_lock_test.py ZORVAN32_EXE LOCK_HOLDER_EXE SAMPLE_GAME FAKE_LIBRARY_DIR WINE"""
import subprocess
import sys
import time

from blackbox import MAIN, Caller, fake_bbs, headless, players, scratch_game

KEPT = "PLAYER.DAT is busy!  The change is kept in memory until the next save."
INN = 155  # the record's "Asleep at Inn?" byte, which the N key flips


def main():
    editor, holder, sample, libdir, wine = sys.argv[1:6]
    with scratch_game(sample) as game, \
            fake_bbs(game, libdir, wine, [editor, holder]) as ([door_cmd, node_cmd], listener), \
            headless(door_cmd + ["-W"], game) as door:
        before = players(game)
        sock, _ = listener.accept()
        caller = Caller(sock)
        caller.wait_for(MAIN % 0, 60)
        with subprocess.Popen(node_cmd + ["exclusive", "PLAYER.DAT"], cwd=game,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE) as node:
            try:
                said = node.stdout.readline().strip()
                assert said == b"held", "the node said %r" % said
                caller.send(b"n")
                asked = time.monotonic()
                caller.wait_for(KEPT, 60)
                waited = time.monotonic() - asked
                assert waited > 4, "busy after %.1f s: the save did not wait" % waited
                assert players(game) == before, "written while the node held the file"
                node.stdin.close()
                assert node.wait(30) == 0, "the node ended with %s" % node.returncode
            finally:
                node.kill()
        caller.send(b"q")
        caller.wait_for_data(b"Zorvan/32 Credits:", 30)
        assert door.wait(30) == 0, "exit code %s" % door.returncode
        after = players(game)
        changed = [i for i in range(len(before)) if after[i] != before[i]]
        assert len(after) == len(before) and changed == [INN], "changed bytes: %s" % changed
        sock.close()
    print("wine lock: passed")


if __name__ == "__main__":
    main()
