#!/usr/bin/env python3
"""The start against hostile files and held files, and the starts that end at once.
  startup_test.py ZORVAN32 GAME_NODE FAILING_NEW_LIBRARY SAMPLE_GAME"""
import contextlib
import os
import pathlib
import re
import shutil
import sys
import time

from blackbox import (MAIN, PLAIN_COLOUR, Caller, Terminal, connected_pair, daemon_run,
                      ends_soon, exited, file_bytes, headless, hold, players, scratch_game,
                      wait_until, write_door32_sys)

INVALID = "Invalid Varn Path! Halting..."
BUSY = "PLAYER.DAT is busy!"


def config(tail, link=False):
    """ZORVAN32.CFG naming the game directory with tail after it; with link, that path is there."""
    def make(game):
        if link:
            os.symlink(game.encode(), game.encode() + b"/" + tail.rstrip(b"/"))
        pathlib.Path(game, "ZORVAN32.CFG").write_bytes(game.encode() + b"/" + tail + b"\r\n")
    return make


def huge(name):
    return lambda game: os.truncate(os.path.join(game, name), 30 << 30)


def fifo(name):  # nobody writes it
    return lambda game: pathlib.Path(game, name).unlink(missing_ok=True) or os.mkfifo(
        os.path.join(game, name))


# Each: what is done to the game, the arguments, the account then seen and what the screen shows.
# A 30 GB file is read by its head (DOOR32.SYS is then no file a BBS wrote: a local hour for nobody,
# not its 30 minutes); a FIFO is refused at once, as an unreadable file is, never waited on.
HOSTILE = [
    (config(b" Var\xe9n/", link=True), [], 0, MAIN % 0),
    (huge("MARRAGE.DAT"), [], 2, "Quenna!"),
    (lambda g: write_door32_sys(g, "DOOR32.SYS", 2, 9999, minutes=30) and huge("DOOR32.SYS")(g),
     ["-DDOOR32.SYS"], 0, r"Left: (01:00:00|00:59:\d\d)"),
]


def hostile_files(editor, sample):
    for make, args, account, shown in HOSTILE:
        with scratch_game(sample) as game:
            make(game)
            before = file_bytes(game)
            term = Terminal([editor, *args], game).to_player(account)
            wait_until(lambda: re.search(shown, term.text()), term.pump,
                       lambda: "%r on the screen:\n%s" % (shown, term.text()))
            term.done()
            assert file_bytes(game) == before, "%r: a game file changed" % shown


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
    for escape in (True, False):
        with scratch_game(sample) as game, contextlib.ExitStack() as stack:
            before = players(game)
            stack.callback(hold(node, os.path.join(game, "PLAYER.DAT"), 60).kill)
            bbs, sock = map(stack.enter_context, connected_pair())
            door = stack.enter_context(headless([editor, "-H%d" % bbs.fileno(), "-N1", "-T"], game,
                                                [bbs.fileno()]))
            caller = Caller(sock)
            caller.wait_for(BUSY)
            if escape:
                caller.send(b"\x1b")
                exited(door.wait(10))
                caller.wait_for_data(PLAIN_COLOUR)
            else:
                sock.close()
                ends_soon(lambda: door.wait(10), time.monotonic(), 3.5)
            assert players(game) == before


def no_config(game):
    os.remove(os.path.join(game, "ZORVAN32.CFG"))


# Each: the arguments, what is done to the game, the exit code and the lines on standard error
# ({game} the game directory). The path in ZORVAN32.CFG is checked as the bytes stand: a NUL used to
# end it early in every system call, so that every game file became PLAYER.DAT.
DAEMON = [
    (["-DTIME.DAT"], None, 0, ["zorvan32: Drop File Not Found: TIME.DAT (the file is there, but "
                               "its name is none the door knows: DOOR32.SYS, DOOR.SYS, "
                               "DORINFOn.DEF, INFO.n)"]),
    (["-Ddoor32.sys"], fifo("door32.sys"), 0, ["zorvan32: Drop File Not Found: door32.sys"]),
    (["-H9999", "-N1", "-T"], None, 0, ["zorvan32: No Carrier Detected on the telnet socket 9999"]),
    ([], config(b"PLAYER.DAT\x00/"), 0, ["zorvan32: " + INVALID]),
    ([], config(b"\x1b[2J"), 0, ["zorvan32: " + INVALID]),
    # A directory that is not there: the I/O report also names ZORVAN32.CFG, where it is mended.
    ([], config(b"gone/"), 2, ["zorvan32: I/O error on {game}/gone/PLAYER.DAT (no such game "
                               "directory: mend or delete ZORVAN32.CFG): No such file or directory"]),
    # A door's caller must not choose the game directory: the sysop makes the file at the console.
    (["-S", "-N1"], no_config, 0, ["zorvan32: ZORVAN32.CFG is missing in the directory the door was "
                                   "started in; it must be made by running the program once at the "
                                   "console there (a door never asks its caller for the game "
                                   "directory)"]),
]


def ends_in_a_daemons_log(editor, sample):
    # Started by a daemon (no terminal), a start that ends at once says why on standard error,
    # which the BBS logs: one plain line each, and no game file changed. The usage screen goes
    # there whole, and on a terminal fits 80x25 (with -S and -U listed, the exit step's empty lines
    # pushed its heading off the screen).
    for args, make, code, lines in DAEMON:
        with scratch_game(sample) as game:
            if make:
                make(game)
            before = file_bytes(game)
            said = daemon_run([editor, *args], game)
            assert said == (code, [line.format(game=game) for line in lines]), (args, said)
            # A door (which a BBS may start without logging its stderr) keeps it in its log too.
            door_log = pathlib.Path(game, "ZORVAN32.ERR")
            if args:
                assert re.fullmatch(r"\d{4}-\d\d-\d\d [\d:.]+ node \d+: %s\n" % re.escape(
                    said[1][0].removeprefix("zorvan32: ")), door_log.read_text()), args
                door_log.unlink()
            assert file_bytes(game) == before, args
    # A door's I/O report: its caller reads which file (never the server's path) before the end.
    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "PLAYER.DAT"))
        with headless([editor, "-S", "-N3"], game, pipes=True) as door:  # a caller who stays
            shown = door.stdout.read().decode("latin-1")
            assert door.wait(30) == 2 and "I/O error on PLAYER.DAT." in shown and game not in shown
        logged = pathlib.Path(game, "ZORVAN32.ERR").read_text()
        assert " node 3: I/O error on %s/PLAYER.DAT" % game in logged, logged
    code, usage = daemon_run([editor, "-H1000"], os.path.dirname(editor))
    assert code == 0 and usage[0] == " USAGE:" and "  -U " in "\n".join(usage), (code, usage)
    words = " Commands: list show check export set repair undo log serve (zorvan32 help)"
    assert words in "\n".join(usage), usage
    term = Terminal([editor, "-H1000"], os.path.dirname(editor))
    exited(term.finish())
    shown = [row.rstrip() for row in term.screen.display]
    assert not [line for line in usage if line not in shown], "\n".join(shown)


def main():
    editor, node, failing_new, sample = sys.argv[1:5]
    assert shutil.which("stty"), "no stty"
    hostile_files(editor, sample)
    memory_runs_out(editor, sample, failing_new)
    held_player_file(editor, node, sample)
    ends_in_a_daemons_log(editor, sample)
    print("editor start-up: passed")


if __name__ == "__main__":
    main()
