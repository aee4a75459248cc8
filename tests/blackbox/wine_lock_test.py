#!/usr/bin/env python3
"""Under Wine, a Windows node of ours holds PLAYER.DAT with share mode 0: the save waits, says busy,
and Q saves once the node lets go.
  wine_lock_test.py ZORVAN32_EXE LOCK_HOLDER_EXE SAMPLE_GAME FAKE_LIBRARY_DIR WINE"""
import subprocess
import sys
import time

from blackbox import MAIN, Caller, exited, fake_bbs, headless, players, scratch_game

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
            assert node.stdout.readline().strip() == b"held", "the node did not take the file"
            caller.send(b"n")
            asked = time.monotonic()
            caller.wait_for(KEPT, 60)
            assert time.monotonic() - asked > 4, "the save did not wait"
            assert players(game) == before, "written while the node held the file"
            node.stdin.close()
            exited(node.wait(30), "the node")
        caller.quit()
        exited(door.wait(30))
        after = players(game)
        changed = [i for i in range(len(before)) if after[i] != before[i]]
        assert len(after) == len(before) and changed == [INN], "changed bytes: %s" % changed
        sock.close()
    print("wine lock: passed")


if __name__ == "__main__":
    main()
