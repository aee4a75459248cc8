#!/usr/bin/env python3
"""The start against what a game directory or a BBS may hand over: a ZORVAN32.CFG line holding a
control character, a 30 GB (sparse) marriage or drop file, a FIFO as the drop file, memory running
out while the terminal is raw, and PLAYER.DAT held by a game node.
  startup_test.py ZORVAN32 GAME_NODE FAILING_NEW_LIBRARY SAMPLE_GAME"""
import os
import re
import shutil
import subprocess
import sys
import time

from blackbox import (MAIN, PLAIN_COLOUR, Caller, Terminal, connected_pair, ends_soon, headless,
                      players, scratch_game, write_door32_sys)

INVALID = "Invalid Varn Path! Halting..."
BUSY = "PLAYER.DAT is busy!"
HUGE = 30 << 30


def game_files(game):
    return {name: open(os.path.join(game, name), "rb").read() for name in sorted(os.listdir(game))
            if os.path.isfile(os.path.join(game, name)) and name != "ZORVAN32.CFG"}


def config_lines(editor, sample):
    # The path is checked as the bytes stand. A NUL used to end it early in every system call, so
    # that every game file became PLAYER.DAT: deleted by a New Day, appended to by Clean Slate.
    # Other control characters are refused the same way; a blank and a byte above 127 are not.
    for tail, valid in ((b"PLAYER.DAT\x00/", False), (b"\t", False), (b"\x1b[2J", False),
                        (b"\x7f", False), (b" Var\xe9n/", True)):
        with scratch_game(sample) as game:
            if valid:
                os.symlink(game.encode(), game.encode() + b"/" + tail.rstrip(b"/"))
            line = game.encode() + b"/" + tail
            with open(os.path.join(game, "ZORVAN32.CFG"), "wb") as cfg:
                cfg.write(line + b"\r\n")
            before = game_files(game)
            term = Terminal([editor], game)
            if valid:
                term.wait_for(MAIN % 0)
                term.quit()
            else:
                term.wait_for(INVALID, 10)
                assert "Account Number" not in term.text(), term.text()
            assert term.finish() == 0, "%r: exit code %s" % (line, term.child.exitstatus)
            assert game_files(game) == before, "%r: a game file changed" % line


def huge_marriage_file(editor, sample):
    # A 30 GB MARRAGE.DAT is read by its head: player 2 is still Quenna's.
    with scratch_game(sample) as game:
        os.truncate(os.path.join(game, "MARRAGE.DAT"), HUGE)
        term = Terminal([editor], game)
        term.wait_for(MAIN % 0)
        for account in (1, 2):
            term.send("]")
            term.wait_for(MAIN % account)
        term.wait_for("Quenna!")
        term.quit()
        assert term.finish() == 0, "exit code %s" % term.child.exitstatus


def odd_drop_files(editor, sample):
    # A 30 GB DOOR32.SYS is no drop file a BBS wrote: the door starts as with one it cannot read
    # (a local session of an hour for nobody), not from the telnet handle its head names.
    with scratch_game(sample) as game:
        drop = write_door32_sys(game, "DOOR32.SYS", 2, 9999)
        os.truncate(drop, HUGE)
        term = Terminal([editor, "-D" + drop], game)
        term.wait_for(MAIN % 0)
        term.wait_for("Left: ")  # the status line
        status = term.row(24)
        assert "Ann Caller" not in status and re.search(r"Left: (01:00:00|00:59:\d\d)", status), \
            status
        term.quit()
        assert term.finish() == 0, "exit code %s" % term.child.exitstatus
    # A FIFO in its place (nobody writes it) is refused at once as a missing one is, never waited on.
    with scratch_game(sample) as game:
        drop = os.path.join(game, "door32.sys")
        os.mkfifo(drop)
        term = Terminal([editor, "-D" + drop], game)
        term.wait_for("Drop File Not Found", 10)
        assert term.finish(10) == 0, "exit code %s" % term.child.exitstatus


def memory_runs_out(editor, sample, failing_new):
    # Memory runs out while the terminal is raw (the 48 KB drop file cannot be read into memory):
    # the program dies of the uncaught std::bad_alloc, but gives the terminal back first.
    with scratch_game(sample) as game:
        drop = write_door32_sys(game, "DOOR32.SYS", 0, 0)
        with open(drop, "ab") as f:
            f.write(b"\r\n" * (24 << 10))
        env = dict(ZORVAN_FAIL_NEW_FROM=str(32 << 10), ASAN_OPTIONS="verify_asan_link_order=0")
        term = Terminal(["/bin/sh", "-c", 'ulimit -c 0; stty -g; LD_PRELOAD="%s" "%s" -D"%s"; '
                         'echo "EXIT=$?"; stty -g' % (failing_new, editor, drop)], game, env=env)
        term.wait_for_data(b"EXIT=")
        term.finish()
        before, run = term.data.split(b"\r\n", 1)
        run, tail = run.rsplit(b"EXIT=", 1)
        code, after = tail.split(b"\r\n")[:2]
        assert b"\x1b[" in run.split(b"bad_alloc")[0], "died before the terminal was raw: %r" % run
        assert b"bad_alloc" in run and code != b"0", "memory did not run out: %r" % term.data[-300:]
        assert after == before, "terminal modes %r, were %r" % (after, before)


def held_player_file(editor, node, sample):
    # A game node holds PLAYER.DAT past the 5-second wait of a read. The operator is told and the
    # editor goes on once the node lets go; a door's caller is told too, and may give up (Esc) or
    # hang up: the door ends with code 0 and leaves the line to the BBS, not with an I/O error.
    def hold(game, seconds):
        holder = subprocess.Popen([node, "hold", os.path.join(game, "PLAYER.DAT"), str(seconds)],
                                  stdout=subprocess.PIPE, text=True)
        assert "holding" in holder.stdout.readline()
        return holder

    with scratch_game(sample) as game:
        holder = hold(game, 7)
        term = Terminal([editor], game)
        term.wait_for(BUSY)
        assert holder.wait(20) == 0
        term.wait_for(MAIN % 0)
        term.quit()
        assert term.finish() == 0, "exit code %s" % term.child.exitstatus
    for leave in ("escape", "hang up"):
        with scratch_game(sample) as game:
            before = players(game)
            holder = hold(game, 60)
            bbs, sock = connected_pair()
            argv = [editor, "-H%d" % bbs.fileno(), "-N1", "-T"]
            try:
                with headless(argv, game, [bbs.fileno()]) as door:
                    caller = Caller(sock)
                    caller.wait_for(BUSY)
                    if leave == "escape":
                        caller.send(b"\x1b")
                        assert door.wait(10) == 0, "exit code %s" % door.returncode
                        caller.wait_for_data(PLAIN_COLOUR)
                    else:
                        sock.close()
                        ends_soon(lambda: door.wait(10), time.monotonic(), 3.5)
            finally:
                holder.kill()
                holder.wait()
                bbs.close()
                sock.close()
            assert players(game) == before


def main():
    editor, node, failing_new, sample = sys.argv[1:5]
    assert shutil.which("stty"), "no stty"
    config_lines(editor, sample)
    huge_marriage_file(editor, sample)
    odd_drop_files(editor, sample)
    memory_runs_out(editor, sample, failing_new)
    held_player_file(editor, node, sample)
    print("editor start-up: passed")


if __name__ == "__main__":
    main()
