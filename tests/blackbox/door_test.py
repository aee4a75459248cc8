#!/usr/bin/env python3
"""The door as a BBS runs it, the test playing the BBS and the caller, one leg per run.
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME socket|ends|telnet|serial|utf8|linux_bbs
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME stdio|stalled FAST_CLOCK_LIBRARY
  door_test.py ZORVAN32 - SAMPLE_GAME stdio_pipes|stdio_quits [WINE]
  door_test.py ZORVAN32 - SAMPLE_GAME winserver FAKE_LIBRARY_DIR [WINE]
  door_test.py ZORVAN32 - SAMPLE_GAME serial_speeds
  door_test.py ZORVAN32 - SAMPLE_GAME com_port|stdio_console|local_console WINE"""
import contextlib
import fcntl
import os
import pathlib
import re
import signal
import socket
import struct
import subprocess
import sys
import termios
import time

from blackbox import (IAC, LINUX_BBS_DOOR32_SYS, LINUX_BBS_DOOR_SYS, LINUX_BBS_DORINFO1_DEF, MAIN,
                      PLAIN_COLOUR, PROMPT, Caller, PipeLine, PtyLine, Terminal, connected_pair,
                      daemon_run, ends_soon, exited, fake_bbs, headless, journal_lines, nickname,
                      players, records, scratch_game, set_nickname, wait_until, write_door32_sys,
                      write_drop_file)

ANNOUNCEMENTS = bytes([255, 251, 1, 255, 251, 0])  # IAC WILL ECHO, IAC WILL BINARY
CARRIER_LOST = "   Caller Dropped Carrier.  Returning To BBS..."
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
        exited(sysop.finish())
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
    # SIGHUP and SIGTERM at a key wait, and SIGTERM while a record waits for a busy PLAYER.DAT:
    # the caller, still on the line, reads the carrier-lost message as their last screen, then the
    # exit step gives them the plain colour; the record is written whole first.
    for sig, busy in ((signal.SIGHUP, False), (signal.SIGTERM, False), (signal.SIGTERM, True)):
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
                exited(door.wait(10))
                caller.wait_for_data(PLAIN_COLOUR)
                last_words = CARRIER_LOST.encode() + b"\r\n" + PLAIN_COLOUR
                assert caller.data.endswith(last_words), caller.data[-80:]
                caller.wait_for(CARRIER_LOST)
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
            exited(sysop.finish() if sysop else door.wait(30), run)


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


# Keys that redraw the main screen (next player, previous player), in sends as large as the door
# takes.
REDRAWS = b"][" * 32768


def type_unread(sock, sysop, quiet=2.0, seconds=60):
    """The caller types redrawing keys and reads nothing until the door has taken no key for
    quiet seconds: its output queue is full and it no longer reads. Gives False if the door ended
    meanwhile. The sysop's screen is read all along, so the door never waits on it."""
    blocked = None
    deadline = time.monotonic() + seconds
    while True:
        assert time.monotonic() < deadline, "the door kept taking keys"
        try:
            sock.send(REDRAWS)
            blocked = None
        except BlockingIOError:
            blocked = blocked or time.monotonic()
            if time.monotonic() - blocked >= quiet:
                return True
        if sysop.pump(0.01) is None:
            return False


def read_slowly(sock, sysop, seconds):
    """The caller types redrawing keys and reads 512 bytes every 50 ms, far slower than the door
    writes, for seconds."""
    deadline = time.monotonic() + seconds
    next_read = time.monotonic()
    while time.monotonic() < deadline:
        with contextlib.suppress(BlockingIOError):
            sock.send(REDRAWS)
        if time.monotonic() >= next_read:
            next_read += 0.05
            with contextlib.suppress(BlockingIOError):
                sock.recv(512)
        assert sysop.pump(0.01) is not None, "the door ended under a slow reader"


def stalled_caller(editor, sample, fast_clock):
    # A telnet caller with a small receive window who keeps typing and reads nothing: the door's
    # output queue fills and it stops reading keys. It must still end, with code 0: at SIGTERM
    # within a few seconds; at the time limit (1 minute, the clock 4 times fast); and as a lost
    # carrier once the line has taken nothing for 2 minutes (the clock 30 times fast: 4 s), where a
    # caller reading slowly for 3 minutes before that was never cut off.
    for end, speed, minutes, message in (("SIGTERM", 1, 60, "Caller Dropped Carrier"),
                                         ("time limit", 4, 1, "Your Time Has Expired"),
                                         ("stall", 30, 60, "Caller Dropped Carrier")):
        with scratch_game(sample) as game:
            bbs, sock = connected_pair(receive_window=4096)
            drop = write_door32_sys(game, "door32.sys", 2, bbs.fileno(), 115200, minutes)
            fast = dict(LD_PRELOAD=fast_clock, ZORVAN_CLOCK_SPEED=str(speed),
                        ASAN_OPTIONS="verify_asan_link_order=0")
            sysop = Terminal([editor, "-D" + drop], game, [bbs.fileno()], env=fast)
            try:
                Caller(sock).wait_for(MAIN % 0)
                bbs.close()
                sock.setblocking(False)
                if end == "stall":
                    read_slowly(sock, sysop, 6)
                    assert "Caller Dropped Carrier" not in sysop.text(), "a slow reader cut off"
                deaf = type_unread(sock, sysop)
                # The stall may end the door before the caller is sure that it stopped reading.
                assert deaf or end == "stall", "%s: the door ended before it was stuck" % end
                if end == "SIGTERM":
                    sysop.child.kill(signal.SIGTERM)
                since = time.monotonic()
                sysop.wait_for(message, 30)
                assert "Idle Time Limit" not in sysop.text(), sysop.text()
                ends_soon(lambda: sysop.finish(10), since, 5 if end == "SIGTERM" else 30)
            finally:
                sysop.child.terminate(force=True)
                sock.close()


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
        exited(caller.finish())
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
            exited(door.wait(20))
        bbs.close()
        sock.close()


def linux_bbs(editor, sample):
    # A BBS on Linux: its DOOR32.SYS says connection type 0 even for a socket caller and gives the
    # time left in seconds (15120: 252 minutes, once read as 252 hours); its DOOR.SYS names COM1
    # without the colon; its daemon starts doors with no terminal. Each with LF and CR LF ends.
    for end in ("\n", "\r\n"):
        # At the console the DOOR32.SYS gives a local session of 252 minutes for Ann Beeton.
        with scratch_game(sample) as game:
            drop = write_drop_file(game, "door32.sys", LINUX_BBS_DOOR32_SYS, end)
            sysop = Terminal([editor, "-D" + drop], game)
            sysop.wait_for("Left: ")
            status = sysop.row(24)
            assert "Ann Beeton" in status and re.search(r"Left: 04:1[12]:\d\d", status), status
            sysop.done()
        # Started by the daemon without -S, no caller can be reached: the log says which line made
        # the session local and what to give instead, rather than only that no key can come.
        with scratch_game(sample) as game:
            for name, lines, said in (("door32.sys", LINUX_BBS_DOOR32_SYS, 'line 1 says "0"'),
                                      ("door.sys", LINUX_BBS_DOOR_SYS, 'line 1 says "COM1"')):
                drop = write_drop_file(game, name, lines, end)
                code, log = daemon_run([editor, "-D" + drop], game)
                assert code == 1 and len(log) == 1, (name, code, log)
                assert log[0].startswith("zorvan32: %s %s: a local session" % (name, said)), log
                assert "-H%H -N%N -T" in log[0] and "-S" in log[0], log
        # With -S (the caller on standard input and output) each file gives the caller's name and
        # node, as the journal of an edit shows them; DORINFO1.DEF has no node line: -N gives it.
        for name, lines, extra, node in (("door32.sys", LINUX_BBS_DOOR32_SYS, [], "1"),
                                         ("door.sys", LINUX_BBS_DOOR_SYS, [], "2"),
                                         ("dorinfo1.def", LINUX_BBS_DORINFO1_DEF, ["-N3"], "3")):
            with scratch_game(sample) as game:
                drop = write_drop_file(game, name, lines, end)
                with headless([editor, "-S", "-D" + drop] + extra, game, pipes=True) as door:
                    caller = Caller(PipeLine(door))
                    caller.wait_for(MAIN % 0)
                    edit_as_caller(caller, game)
                    caller.quit()
                    exited(door.wait(20), name)
                seen = {tuple(line[1:3]) for line in journal_lines(game)}
                assert seen == {(node, "Ann Beeton")}, (name, end, seen)


# The kernel's termios2 (Linux on x86 and most other machines): four mode words, the line
# discipline, 19 control characters, then the input and output speeds as numbers.
TERMIOS2 = "4IB19s2I"
TCGETS2, TCSETS2 = 0x802C542A, 0x402C542B
CBAUD, BOTHER, IBSHIFT = 0o010017, 0o010000, 16


def line_speed(fd, baud=None):
    """The line's speed as its driver has it; with baud, first set to that number (as a BBS may
    set a speed that has no termios code)."""
    fields = list(struct.unpack(TERMIOS2, fcntl.ioctl(fd, TCGETS2, bytes(44))))
    if baud is not None:
        fields[2] = fields[2] & ~(CBAUD | CBAUD << IBSHIFT) | BOTHER
        fields[6] = fields[7] = baud
        fcntl.ioctl(fd, TCSETS2, struct.pack(TERMIOS2, *fields))
        return line_speed(fd)
    return fields[7]


def serial_speeds(editor, sample):
    # A line the BBS left at a speed the usual termios table lacks (500000) or that only a number
    # gives (250000), cooked and echoing as a fresh tty is: the door keeps the speed and makes the
    # line binary, so a key arrives alone, with no Enter, and the driver echoes nothing.
    for baud in (500000, 250000):
        with scratch_game(sample) as game:
            line = PtyLine()
            assert line_speed(line.slave, baud) == baud
            drop = write_door32_sys(game, "DOOR32.SYS", 1, line.slave, baud)
            with headless([editor, "-D" + drop], game, [line.slave]) as door:
                caller = Caller(line)
                caller.wait_for(MAIN % 0)
                caller.send(b"]")
                caller.wait_for(MAIN % 1)
                lflag = termios.tcgetattr(line.slave)[3]
                assert not lflag & (termios.ICANON | termios.ECHO), "%d: left cooked" % baud
                assert line_speed(line.slave) == baud, "%d: now %d" % (baud, line_speed(line.slave))
                caller.quit()
                exited(door.wait(20))
            assert line_speed(line.slave) == baud
            line.hang_up()
            os.close(line.slave)


def stdio_quits(editor, sample, wine=None):
    # Q ends a -S door at once, on pipes and on a socket (which a BBS may hand over as standard
    # input and output), while the caller keeps the line open and sends nothing more: a read left
    # waiting on it must not keep the door (zorvan32.exe under Wine stayed until the next key).
    for kind in ("pipes", "socket"):
        with scratch_game(sample) as game, contextlib.ExitStack() as stack:
            argv = ([wine] if wine else []) + [editor, "-S", "-N2"]
            if kind == "pipes":
                door = stack.enter_context(headless(argv, game, pipes=True))
                caller = Caller(PipeLine(door))
            else:
                door_end, caller_end = socket.socketpair()
                stack.callback(caller_end.close)
                door = stack.enter_context(subprocess.Popen(argv, cwd=game, stdin=door_end,
                                                            stdout=door_end))
                stack.callback(door.kill)
                door_end.close()
                caller = Caller(caller_end)
            caller.wait_for(MAIN % 0, 60)
            caller.send(b"]")
            caller.wait_for(MAIN % 1)
            caller.quit()
            try:
                code = door.wait(10)
            except subprocess.TimeoutExpired:
                raise AssertionError("%s: still running 10 s after Q" % kind) from None
            assert code == 0, "%s: exit code %s" % (kind, code)


def wine_prefix_ready(wine):
    """Makes the Wine prefix if it is new (so that its dosdevices folder exists); gives its path.
    The Wine server this starts, which the door then shares, writes nowhere: told of a hang-up on
    a tty it holds, it lists all its objects, thousands of lines."""
    subprocess.run([wine, "cmd", "/c", "rem"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=120)
    return os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")


def door_sys(game, port):
    """A DOOR.SYS for Ann Caller on that COM port: node 1, record 2, 60 minutes, ANSI."""
    lines = [""] * 52
    for number, value in ((1, "COM%d:" % port), (2, "38400"), (4, "1"), (10, "Ann Caller"),
                          (18, "60"), (20, "GR"), (26, "2"), (36, "Ann")):
        lines[number - 1] = value
    path = os.path.join(game, "DOOR.SYS")
    pathlib.Path(path).write_bytes("".join(line + "\r\n" for line in lines).encode())
    return path


def com_port(editor, sample, wine):
    """zorvan32.exe under Wine on a COM port it opens itself (DOOR.SYS gives "COM29:"), the port a
    pseudo-terminal that the Wine prefix names COM29; the test is the caller's modem on its master.
    The caller sees the screen without telnet negotiation, drives the editor with keys, and either
    quits or hangs up; the door ends soon with code 0 either way."""
    port = 29
    link = os.path.join(wine_prefix_ready(wine), "dosdevices", "com%d" % port)
    for end in ("quit", "hang up"):
        with scratch_game(sample) as game, contextlib.ExitStack() as stack:
            line = PtyLine()
            stack.callback(os.close, line.slave)
            with contextlib.suppress(FileNotFoundError):
                os.unlink(link)
            os.symlink(os.ttyname(line.slave), link)
            stack.callback(os.unlink, link)
            door = stack.enter_context(headless([wine, editor, "-D" + door_sys(game, port)], game))
            caller = Caller(line)
            caller.wait_for(MAIN % 0, 60)
            assert bytes([IAC]) not in caller.wire, caller.wire[:12]
            edit_as_caller(caller, game)
            if end == "quit":
                caller.quit()
            line.hang_up()  # the modem's hang-up after Q, or the caller's instead of it
            ends_soon(lambda: door.wait(10), time.monotonic(), 5)


def stdio_console(editor, sample, wine):
    """zorvan32.exe -S under Wine in a pseudo-terminal, where Wine gives it a console: the caller's
    keys come as the console's input records. Wine's console draws what it is given its own way,
    so the test reads the bytes and the game file, not a screen."""
    with scratch_game(sample) as game:
        caller = Terminal([wine, editor, "-S", "-N2"], game)

        def after(start, text):
            wait_until(lambda: text in caller.data[start:], caller.pump,
                       lambda: "%r after: %r" % (text, caller.data[start:][-300:]), 60)
            return len(caller.data)

        seen = after(0, b"Account Number")
        caller.send(b"]")
        seen = after(seen, b"Account Number")
        caller.send(b"3")
        after(seen, PROMPT.encode())
        caller.send(b"\x19Kit\r")
        wait_until(lambda: nickname(game, 1) == b"Kit", caller.pump, lambda: nickname(game, 1))
        caller.send(b"q")
        after(seen, b"Credits")
        exited(caller.finish(10))


def local_console(editor, sample, wine):
    """zorvan32.exe -L under Wine in a pseudo-terminal, where Wine gives it a console: the sysop's
    screen through the console API and the sysop's keys, arrows included, from its input
    records."""
    with scratch_game(sample) as game:
        sysop = Terminal([wine, editor, "-L"], game)
        sysop.wait_for("Enter your name", 60)
        sysop.send(b"\r")
        sysop.wait_for(MAIN % 0)
        assert "VarnEdit/32" in sysop.row(0), sysop.row(0)
        edit_as_caller(sysop, game)
        sysop.send(b"q")
        sysop.wait_for("Credits")
        exited(sysop.finish(10))


LEGS = {"socket": socket_handover, "ends": early_ends, "serial": serial_line,
        "stalled": stalled_caller,
        "stdio": stdio_caller, "stdio_pipes": stdio_pipes, "utf8": utf8_caller,
        "winserver": winserver, "linux_bbs": linux_bbs,
        "serial_speeds": serial_speeds, "stdio_quits": stdio_quits, "com_port": com_port,
        "stdio_console": stdio_console, "local_console": local_console}


def main():
    editor, launcher, sample, leg = sys.argv[1:5]
    if leg == "telnet":
        telnet_client(launcher, sample)
    else:
        LEGS[leg](editor, sample, *sys.argv[5:])
    print("%s: passed" % leg)


if __name__ == "__main__":
    main()
