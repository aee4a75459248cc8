#!/usr/bin/env python3
"""The start against hostile files and held files, and the starts that end at once.
  startup_test.py ZORVAN32 GAME_NODE FAILING_NEW_LIBRARY SAMPLE_GAME"""
import os
import re
import shutil
import subprocess
import sys
import time

from blackbox import (MAIN, PLAIN_COLOUR, Caller, PipeLine, Terminal, connected_pair, daemon_run,
                      ends_soon, exited, headless, hold, open_on, players, scratch_game,
                      write_door32_sys)

INVALID = "Invalid Varn Path! Halting..."
NO_CONFIG = "ZORVAN32.CFG is missing."
ASKED = "Enter the full path"
USAGE = [" USAGE:", " zorvan32 <PARAMETERS>", "  -D         PATH\\FILENAME OF DROPFILE",
         "  -H         COM PORT (OR SOCKET HANDLE IF -T USED)", "  -L         LOCAL MODE",
         "  -N         NODE NUMBER", "  -T         -H PARAMETER IS A SOCKET HANDLE",
         "  -W         WINSERVER DOOR32 MODE", "  -S         CALLER ON STANDARD INPUT AND OUTPUT",
         "  -U         CALLER'S TERMINAL USES UTF-8", " Examples:", " zorvan32 -L",
         "  -  Run In Local Mode", " zorvan32 -H1000 -N3 -T",
         "  -  Open Socket Handle 1000 On Node #3", " zorvan32 -DC:\\DOORBAY\\NODE1\\DOOR32.SYS",
         "  -  Load Settings From DOOR32.SYS", " zorvan32 -W",
         "     Run As A WINServer Native Door"]
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
            exited(term.finish(), repr(line))
            assert game_files(game) == before, "%r: a game file changed" % line


def huge_marriage_file(editor, sample):
    # A 30 GB MARRAGE.DAT is read by its head: player 2 is still Quenna's. A FIFO in its place is
    # refused at once, as an unreadable file is, never waited on.
    for fifo, married in ((False, "Quenna!"), (True, "Unknown!")):
        with scratch_game(sample) as game:
            path = os.path.join(game, "MARRAGE.DAT")
            if fifo:
                os.remove(path)
                os.mkfifo(path)
            else:
                os.truncate(path, HUGE)
            term = open_on(editor, game, 2)
            term.wait_for(married)
            term.done()


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
        term.done()
    # A FIFO in its place (nobody writes it) is refused at once as a missing one is, never waited on.
    with scratch_game(sample) as game:
        drop = os.path.join(game, "door32.sys")
        os.mkfifo(drop)
        term = Terminal([editor, "-D" + drop], game)
        term.wait_for("Drop File Not Found", 10)
        exited(term.finish(10))


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
    with scratch_game(sample) as game:
        holder = hold(node, os.path.join(game, "PLAYER.DAT"), 7)
        term = Terminal([editor], game)
        term.wait_for(BUSY)
        assert holder.wait(20) == 0
        term.wait_for(MAIN % 0)
        term.done()
    for leave in ("escape", "hang up"):
        with scratch_game(sample) as game:
            before = players(game)
            holder = hold(node, os.path.join(game, "PLAYER.DAT"), 60)
            bbs, sock = connected_pair()
            argv = [editor, "-H%d" % bbs.fileno(), "-N1", "-T"]
            try:
                with headless(argv, game, [bbs.fileno()]) as door:
                    caller = Caller(sock)
                    caller.wait_for(BUSY)
                    if leave == "escape":
                        caller.send(b"\x1b")
                        exited(door.wait(10))
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


def ends_in_a_daemons_log(editor, sample):
    # Started by a daemon (no terminal), a start that ends at once says why on standard error,
    # which the BBS logs: one plain line each, with code 0. The usage screen goes there whole.
    with scratch_game(sample) as game:
        missing = os.path.join(game, "nowhere", "DOOR32.SYS")
        cases = [([editor, "-D" + missing], ["zorvan32: Drop File Not Found: " + missing]),
                 ([editor, "-H9999", "-N1", "-T"],
                  ["zorvan32: No Carrier Detected on the telnet socket 9999"]),
                 ([editor, "-H1000"], USAGE)]
        for argv, expected in cases:
            code, lines = daemon_run(argv, game)
            assert code == 0 and lines == expected, "%s: exit code %s, stderr %r" % (
                argv[1:], code, lines)
        with open(os.path.join(game, "ZORVAN32.CFG"), "wb") as cfg:
            cfg.write(game.encode() + b"/\t\r\n")
        code, lines = daemon_run([editor], game)
        assert (code, lines) == (0, ["zorvan32: " + INVALID]), (code, lines)


def usage_on_25_rows(editor):
    # With -S and -U listed, the exit step's empty lines pushed the heading off an 80x25 screen.
    term = Terminal([editor, "-H1000"], os.path.dirname(editor))
    exited(term.finish())
    shown = [row.rstrip() for row in term.screen.display]
    missing = [line for line in USAGE if line not in shown]
    assert not missing, "not on the screen: %r\n%s" % (missing, "\n".join(shown))


def first_run_in_a_door(editor, sample):
    # Without ZORVAN32.CFG a door's caller must not choose the game directory: the caller (and the
    # sysop, and the daemon's log) is told that the sysop makes the file at the console, and the
    # door ends with code 0 without writing one, whatever the caller types.
    for line in ("socket", "pipes"):
        with scratch_game(sample) as game:
            os.remove(os.path.join(game, "ZORVAN32.CFG"))
            bbs, sock = connected_pair()
            argv = ([editor, "-H%d" % bbs.fileno(), "-N1", "-T"] if line == "socket"
                    else [editor, "-S", "-N1"])
            stdio = subprocess.PIPE if line == "pipes" else subprocess.DEVNULL
            try:
                with subprocess.Popen(argv, cwd=game, pass_fds=[bbs.fileno()], stdin=stdio,
                                      stdout=stdio, stderr=subprocess.PIPE) as door:
                    try:
                        caller = Caller(sock if line == "socket" else PipeLine(door))
                        caller.send(game.encode() + b"\r")  # an answer, should a prompt come
                        caller.wait_for(NO_CONFIG)
                        assert ASKED not in caller.text(), caller.text()
                        exited(door.wait(10), line)
                        caller.wait_for_data(PLAIN_COLOUR)
                        log = door.stderr.read().decode("latin-1")
                    finally:
                        door.kill()
            finally:
                bbs.close()
                sock.close()
            assert "ZORVAN32.CFG is missing" in log and "at the console" in log, log
            assert not os.path.exists(os.path.join(game, "ZORVAN32.CFG")), line
    # At the console (-L) the sysop is asked, as without a door.
    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "ZORVAN32.CFG"))
        term = Terminal([editor, "-L"], game)
        term.wait_for("Enter your name")
        term.send("\r")
        term.wait_for(ASKED)
        term.send(game + "\r")
        term.wait_for(MAIN % 0)
        term.done()
        assert os.path.exists(os.path.join(game, "ZORVAN32.CFG"))


def wrong_game_directory(editor, sample):
    # A ZORVAN32.CFG naming a directory that does not exist: the I/O report (code 2) also names
    # ZORVAN32.CFG, where the sysop mends it.
    with scratch_game(sample) as game:
        nowhere = os.path.join(game, "gone") + "/"
        with open(os.path.join(game, "ZORVAN32.CFG"), "wb") as cfg:
            cfg.write(nowhere.encode() + b"\r\n")
        code, lines = daemon_run([editor], game)
        assert code == 2 and len(lines) == 1, (code, lines)
        assert lines[0].startswith("zorvan32: I/O error on %sPLAYER.DAT" % nowhere), lines
        assert "ZORVAN32.CFG" in lines[0] and "No such file or directory" in lines[0], lines


def main():
    editor, node, failing_new, sample = sys.argv[1:5]
    assert shutil.which("stty"), "no stty"
    config_lines(editor, sample)
    huge_marriage_file(editor, sample)
    odd_drop_files(editor, sample)
    memory_runs_out(editor, sample, failing_new)
    held_player_file(editor, node, sample)
    ends_in_a_daemons_log(editor, sample)
    usage_on_25_rows(editor)
    first_run_in_a_door(editor, sample)
    wrong_game_directory(editor, sample)
    print("editor start-up: passed")


if __name__ == "__main__":
    main()
