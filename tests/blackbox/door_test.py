#!/usr/bin/env python3
"""The door over real loopback TCP, the test playing the BBS and the caller (socket: -H -N -T;
ends: DOOR32.SYS, hang-ups and signals), or the system's telnet client calling bbs_launcher
(telnet), or the door as a WINServer door through our fake BBS libraries (winserver), or on a
pseudo-terminal as a serial line (serial), or with the caller on its standard input and output
(stdio; stdio_pipes alone, for the Windows build under Wine), or for a UTF-8 caller (utf8).
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME socket|ends|telnet|serial|utf8
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME stdio FAST_CLOCK_LIBRARY
  door_test.py ZORVAN32 - SAMPLE_GAME stdio_pipes [WINE]
  door_test.py ZORVAN32 - SAMPLE_GAME winserver FAKE_LIBRARY_DIR [WINE]"""
import contextlib
import fcntl
import os
import signal
import sys
import time

from blackbox import (IAC, MAIN, PLAIN_COLOUR, PROMPT, Caller, PipeLine, PtyLine, Terminal,
                      connected_pair, ends_soon, fake_bbs, headless, nickname, players, records,
                      scratch_game, set_nickname, wait_until, write_door32_sys)

ANNOUNCEMENTS = bytes([255, 251, 1, 255, 251, 0])  # IAC WILL ECHO, IAC WILL BINARY
# Keys without a meaning here (F11, F12, Shift-Tab, keypad 5, Ctrl-Up, Ctrl-Left): one key each.
ODD_KEYS = b"\x1b[23~\x1b[24~\x1b[Z\x1b[E\x1b[1;5A\x1bO5D"
# A nickname in CP437 frame and block characters, and how a UTF-8 caller sees it.
FRAMED = b"\xC9\xCD\xBB Zed \xB0\xFE"
FRAMED_UTF8 = "\u2554\u2550\u2557 Zed \u2591\u25a0"


def telnet_door(editor, bbs, *extra):
    return [editor, "-H%d" % bbs.fileno(), "-N1", "-T", *extra]


def socket_handover(editor, sample):
    with scratch_game(sample) as game:
        before = records(players(game))
        bbs, sock = connected_pair()
        bbs.setblocking(True)
        caller = Caller(sock)
        sysop = Terminal(telnet_door(editor, bbs), game, [bbs.fileno()])
        caller.wait_for(MAIN % 0)
        assert caller.wire.startswith(ANNOUNCEMENTS), caller.wire[:12]
        assert "VarnEdit/32" in caller.row(0), caller.row(0)
        # Both keyboards drive the one session and both screens follow. Odd keys (and up arrow
        # and PgDn on the main screen) move nothing there and type nothing in a field.
        for side, move, account, name in ((caller, b"\x1b[A\x1b[6~" + ODD_KEYS + b"]", 1, b"Ann"),
                                          (sysop, ODD_KEYS + b"[", 0, b"Zed")):
            side.send(move)
            caller.wait_for(MAIN % account)
            sysop.wait_for(MAIN % account)
            side.rename(ODD_KEYS + name)
        after = records(players(game))
        assert len(after) == len(before) and after[2:] == before[2:], "other records changed"
        for account, name in ((0, b"Zed"), (1, b"Ann")):
            record = after[account]
            assert record[:1 + len(name)] == bytes([len(name)]) + name, record[:21]
            assert record[21:] == before[account][21:], "more than the nickname changed"
        caller.quit()
        assert sysop.finish() == 0, "exit code %s" % sysop.child.exitstatus
        # The line still belongs to the BBS: open, and in the blocking mode it had.
        assert not fcntl.fcntl(bbs, fcntl.F_GETFL) & os.O_NONBLOCK, "the door left it non-blocking"
        bbs.sendall(b"back at the BBS")
        caller.wait_for_data(b"back at the BBS")
        bbs.close()


def early_ends(editor, sample):
    # Started from DOOR32.SYS as a BBS daemon starts it (no terminal), and the caller hangs up
    # right after a key that redraws the screen: noticed at the next key wait, the door ends soon
    # with code 0; the game file and the BBS's line are whole.
    with scratch_game(sample) as game:
        before = players(game)
        bbs, sock = connected_pair()
        drop = write_door32_sys(game, "door32.sys", 2, bbs.fileno(), 115200)
        with headless([editor, "-D" + drop], game, [bbs.fileno()]) as door:
            caller = Caller(sock)
            caller.wait_for(MAIN % 0)
            caller.send(b"]")
            sock.close()
            ends_soon(lambda: door.wait(10), time.monotonic())
        assert players(game) == before
        assert fcntl.fcntl(bbs, fcntl.F_GETFL) >= 0  # still open
        bbs.close()
    # SIGHUP at a key wait, and SIGTERM while a record waits for a busy PLAYER.DAT: the door ends
    # through its exit step (the caller gets the plain colour), and the record is written whole
    # first.
    for sig, busy in ((signal.SIGHUP, False), (signal.SIGTERM, True)):
        with scratch_game(sample) as game:
            before = records(players(game))
            bbs, sock = connected_pair()
            with open(os.path.join(game, "PLAYER.DAT"), "rb+") as node, \
                    headless(telnet_door(editor, bbs), game, [bbs.fileno()]) as door:
                caller = Caller(sock)
                # Once the screen is whole the door reads nothing more before its key wait.
                caller.wait_for("Input key to change, or Q to quit")
                if busy:  # a game node takes the file
                    fcntl.lockf(node, fcntl.LOCK_EX | fcntl.LOCK_NB)
                    caller.send(b"n")  # the inn toggle: flips a flag and saves at once
                    time.sleep(3)  # inside the save's 5-second retry, even on a slow machine
                door.send_signal(sig)
                if busy:
                    time.sleep(0.5)
                    assert door.poll() is None, "ended in the middle of a save"
                    fcntl.lockf(node, fcntl.LOCK_UN)
                assert door.wait(10) == 0, "exit code %s" % door.returncode
                caller.wait_for_data(PLAIN_COLOUR)
                assert caller.data.endswith(PLAIN_COLOUR), caller.data[-40:]
            after = records(players(game))
            changed = [n for n in range(len(after)) if after[n] != before[n]]
            assert len(after) == len(before) and changed == ([0] if busy else []), changed
            bbs.close()
            sock.close()


def telnet_client(launcher, sample):
    with scratch_game(sample) as game, headless([launcher, "--port", "0"], game, pipes=True) as bbs:
        port = bbs.stdout.readline().split()[-1].decode()
        telnet = Terminal(["telnet", "127.0.0.1", port], game)
        telnet.wait_for(MAIN % 0)
        # Offered only ECHO and BINARY, the client keeps its line mode: keys go on Enter.
        assert telnet.line_mode(), "the client went to character mode by itself"
        telnet.send("]\r")
        telnet.wait_for(MAIN % 1)
        # Its "mode character" asks for SUPPRESS-GO-AHEAD, which the door grants.
        telnet.send("\x1d")
        telnet.wait_for("telnet>")
        telnet.send("mode character\r")
        wait_until(lambda: not telnet.line_mode(), telnet.pump, lambda: "character mode")
        telnet.send("[")
        telnet.wait_for(MAIN % 0)
        telnet.quit()
        telnet.wait_for("Connection closed by foreign host")  # the launcher hung up
        assert bbs.wait(20) == 0, "exit code %s" % bbs.returncode
        telnet.finish()


def winserver(editor, sample, libdir, wine=None):
    """-W: the door reaches the caller through our fake DOOR32 library and learns who is calling
    from the fake WCSRV; the test is the BBS's line behind DOOR32. The sysop's screen is not
    watched under Wine."""
    for run in ("quit", "hang up", "nobody logged in"):
        with scratch_game(sample) as game, contextlib.ExitStack() as stack:
            [command], listener = stack.enter_context(
                fake_bbs(game, libdir, wine, [editor], run != "nobody logged in"))
            argv = command + ["-W"]
            door = stack.enter_context(headless(argv, game)) if wine else None
            sysop = None if wine else Terminal(argv, game)
            sock, _ = listener.accept()  # DoorInitialize connected
            stack.callback(sock.close)
            caller = Caller(sock)
            if run != "nobody logged in":
                caller.wait_for(MAIN % 0, 60)
            if run == "quit":
                caller.quit()
            elif run == "hang up":
                sock.close()  # the offline event
            if sysop and run != "quit":
                sysop.wait_for("Caller Dropped Carrier" if run == "hang up"
                               else "No Carrier Detected")
            code = sysop.finish() if sysop else door.wait(30)
            assert code == 0, "%s: exit code %s" % (run, code)


def serial_line(editor, sample):
    # DOOR32.SYS of kind 1 with the tty descriptor: the caller sees the main screen with no telnet
    # negotiation and drives the editor with keys; then hangs up at a key wait: the door says so
    # on the sysop's screen, ends soon, and leaves the line in its blocking mode.
    with scratch_game(sample) as game:
        line = PtyLine()
        caller = Caller(line)
        drop = write_door32_sys(game, "DOOR32.SYS", 1, line.slave)
        sysop = Terminal([editor, "-D" + drop], game, [line.slave])
        caller.wait_for(MAIN % 0)
        assert bytes([IAC]) not in caller.wire, caller.wire[:12]
        assert "VarnEdit/32" in caller.row(0), caller.row(0)
        caller.send(b"]")
        caller.wait_for(MAIN % 1)
        sysop.wait_for(MAIN % 1)
        line.hang_up()
        hung_up = time.monotonic()
        sysop.wait_for("Caller Dropped Carrier")
        # The pty's hang-up wakes the key wait at once (1.6 s in all natively); this leg also
        # renders the sysop's screen on the way, which a loaded sanitizer run slows: 1 s more.
        ends_soon(sysop.finish, hung_up, 3.5)
        assert not fcntl.fcntl(line.slave, fcntl.F_GETFL) & os.O_NONBLOCK, "left non-blocking"
        os.close(line.slave)


def edit_as_caller(caller, game):
    """Moves to the second player and renames them, an arrow (no character) and Ctrl-Y (clear)
    typed first."""
    caller.send(b"]")
    caller.wait_for(MAIN % 1)
    caller.rename(b"\x1b[D\x19Kit")
    caller.wait_for(":Kit ")
    assert nickname(game, 1) == b"Kit", nickname(game, 1)


def stdio_caller(editor, sample, fast_clock):
    # The way a Linux BBS runs a door for an SSH or telnet caller: a pseudo-terminal joined to the
    # caller, a DOOR32.SYS whose connection lines do not apply, and -S. A whole edit, then the
    # idle limit on a clock running 60 times fast: about 5 seconds for 5 minutes.
    with scratch_game(sample) as game:
        drop = write_door32_sys(game, "door32.sys", 2, 9999)
        fast = dict(LD_PRELOAD=fast_clock, ZORVAN_CLOCK_SPEED="60",
                    ASAN_OPTIONS="verify_asan_link_order=0")
        caller = Terminal([editor, "-S", "-D" + drop], game, env=fast, encoding="cp437")
        caller.wait_for(MAIN % 0)
        assert caller.data.startswith(b"\x1b[2J"), caller.data[:12]  # no negotiation, no frame
        assert not caller.line_mode(), "the terminal was left in line mode"
        edit_as_caller(caller, game)
        assert "Ann Caller" not in caller.text(), "the status line reached the caller"
        caller.wait_for("Idle Time Limit Exceeded", 30)
        assert caller.finish() == 0, "exit code %s" % caller.child.exitstatus
        tail = caller.data.split(b"Idle Time Limit Exceeded", 1)[1]
        assert b"\x1b[0;37m" in tail, "the exit step did not reach the caller"
    stdio_pipes(editor, sample)


def stdio_pipes(editor, sample, wine=None):
    # The caller on pipes (natively, or the Windows build under Wine): CP437 bytes as they are, an
    # edit, then the caller's input ends.
    with scratch_game(sample) as game:
        set_nickname(game, 0, FRAMED)
        argv = ([wine] if wine else []) + [editor, "-S", "-N2"]
        with headless(argv, game, pipes=True) as door:
            caller = Caller(PipeLine(door))
            caller.wait_for(MAIN % 0, 60)
            assert caller.wire.startswith(b"\x1b[2J"), caller.wire[:12]
            assert FRAMED in caller.wire, "CP437 bytes changed on the way"
            edit_as_caller(caller, game)
            door.stdin.close()
            ends_soon(lambda: door.wait(10), time.monotonic())


def utf8_caller(editor, sample):
    # -U: a telnet caller sees the frame characters as UTF-8, and types in UTF-8.
    with scratch_game(sample) as game:
        set_nickname(game, 0, FRAMED)
        bbs, sock = connected_pair()
        with headless(telnet_door(editor, bbs, "-U"), game, [bbs.fileno()]) as door:
            caller = Caller(sock, "utf-8")
            caller.wait_for(":" + FRAMED_UTF8)
            assert FRAMED not in caller.data, "CP437 bytes reached a UTF-8 caller"
            # A typed character CP437 lacks, one it has (é, not a name letter) and an arrow split
            # over two sends: no key but the name's.
            caller.send(b"3")
            caller.wait_for(PROMPT)
            caller.send(b"\x19\xe2\x82\xacJo\xc3")
            caller.send(b"\xa9\x1b[Cy\r")
            caller.wait_for(":Joy ")
            assert nickname(game, 0) == b"Joy", nickname(game, 0)
            caller.quit()
            assert door.wait(20) == 0, "exit code %s" % door.returncode
        bbs.close()
        sock.close()


LEGS = {"socket": socket_handover, "ends": early_ends, "serial": serial_line,
        "stdio": stdio_caller, "stdio_pipes": stdio_pipes, "utf8": utf8_caller,
        "winserver": winserver}


def main():
    editor, launcher, sample, leg = sys.argv[1:5]
    if leg == "telnet":
        telnet_client(launcher, sample)
    else:
        LEGS[leg](editor, sample, *sys.argv[5:])
    print("%s: passed" % leg)


if __name__ == "__main__":
    main()
