#!/usr/bin/env python3
"""The door over real loopback TCP, the test playing the BBS and the caller (socket: -H -N -T and
DOOR32.SYS), or the system's telnet client calling bbs_launcher (telnet), or the door as a WINServer
door through our fake BBS libraries (winserver), or on a pseudo-terminal as a serial line (serial).
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME socket|ends|telnet|serial
  door_test.py ZORVAN32 - SAMPLE_GAME winserver FAKE_LIBRARY_DIR [WINE]"""
import contextlib
import fcntl
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import time

from blackbox import Caller, PtyLine, Terminal, connected_pair, scratch_game, wait_until

ANNOUNCEMENTS = bytes([255, 251, 1, 255, 251, 0])  # IAC WILL ECHO, IAC WILL BINARY
MAIN = "Account Number: %d"
# Keys without a meaning here (F11, F12, Shift-Tab, keypad 5, Ctrl-Up, Ctrl-Left): one key each.
ODD_KEYS = b"\x1b[23~\x1b[24~\x1b[Z\x1b[E\x1b[1;5A\x1bO5D"
PLAIN_COLOUR = b"\x1b[0;37m\x1b[40m\x1b[40m"  # the exit step's last words to a caller


def handle_on_command_line(editor, sample):
    with scratch_game(sample) as game:
        player_dat = pathlib.Path(game, "PLAYER.DAT")
        before = player_dat.read_bytes()
        bbs, sock = connected_pair()
        bbs.setblocking(True)
        caller = Caller(sock)
        sysop = Terminal([editor, "-H%d" % bbs.fileno(), "-N1", "-T"], game, [bbs.fileno()])
        caller.wait_for(MAIN % 0)
        assert caller.wire.startswith(ANNOUNCEMENTS), caller.wire[:12]
        sysop.wait_for(MAIN % 0)
        # Both keyboards drive the one session, and both screens follow.
        for side, key, account in ((caller, b"]", 1), (sysop, b"[", 0),
                                   # up arrow and PgDn do nothing here; the ] after them shows
                                   # that they were read without doing anything
                                   (caller, b"\x1b[A\x1b[6~]", 1)):
            side.send(key)
            caller.wait_for(MAIN % account)
            sysop.wait_for(MAIN % account)
        assert "VarnEdit/32" in caller.screen.row(0), caller.screen.row(0)
        assert player_dat.read_bytes() == before, "PLAYER.DAT changed"
        # Odd keys from either side move nothing on the main screen and type nothing in a field.
        for side, move, account, name in ((sysop, b"[", 0, b"Zed"), (caller, b"]", 1, b"Ann")):
            side.send(ODD_KEYS + move)
            caller.wait_for(MAIN % account)
            sysop.wait_for(MAIN % account)
            side.send(b"3")
            side.wait_for("Enter VARN Name")
            side.send(ODD_KEYS + name + b"\r")
            wait_until(lambda: "Enter VARN Name" not in side.screen.text(), side.pump,
                       lambda: "the main screen again:\n" + side.screen.text())
            record = player_dat.read_bytes()[account * 236:(account + 1) * 236]
            old = before[account * 236:(account + 1) * 236]
            assert record[:1 + len(name)] == bytes([len(name)]) + name, record[:21]
            assert record[21:] == old[21:], "more than the nickname changed"
        caller.send(b"q")
        caller.wait_for_data(b"Zorvan/32 Credits:")
        assert sysop.finish() == 0, "exit code %s" % sysop.child.exitstatus
        # The line still belongs to the BBS: open, and in the blocking mode it had.
        assert not fcntl.fcntl(bbs, fcntl.F_GETFL) & os.O_NONBLOCK, "the door left it non-blocking"
        bbs.sendall(b"back at the BBS")
        caller.wait_for_data(b"back at the BBS")
        bbs.close()


def write_door32_sys(game, name, kind, handle, baud):
    """A DOOR32.SYS for Ann Caller (record 1, 60 minutes, ANSI, node 1); gives its path."""
    drop = os.path.join(game, name)
    lines = [str(kind), str(handle), str(baud), "Test BBS", "1", "Ann Caller", "Ann", "100", "60",
             "1", "1"]
    with open(drop, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode())
    return drop


def door32_sys(editor, sample):
    with scratch_game(sample) as game:
        bbs, sock = connected_pair()
        caller = Caller(sock)
        drop = write_door32_sys(game, "door32.sys", 2, bbs.fileno(), 115200)
        # Started as a BBS daemon starts it: no terminal at all.
        with subprocess.Popen([editor, "-D" + drop], cwd=game, pass_fds=[bbs.fileno()],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL) as door:
            try:
                caller.wait_for(MAIN % 0)
                caller.send(b"q")
                caller.wait_for_data(b"Zorvan/32 Credits:")
                assert door.wait(20) == 0, "exit code %s" % door.returncode
            finally:
                door.kill()


@contextlib.contextmanager
def headless_door(editor, game, bbs):
    """The door as a BBS daemon starts it (no terminal), on the connected socket; killed at the
    end if it is still running, so a failed check cannot hang the test."""
    door = subprocess.Popen([editor, "-H%d" % bbs.fileno(), "-N1", "-T"], cwd=game,
                            pass_fds=[bbs.fileno()], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL)
    try:
        yield door
    finally:
        if door.poll() is None:
            door.kill()
        door.wait()


def early_ends(editor, sample):
    # A caller who hangs up right after a key that redraws the screen: noticed at the next key
    # wait, the door ends within 2 seconds with code 0; the game file and the BBS's line are whole.
    with scratch_game(sample) as game:
        player_dat = pathlib.Path(game, "PLAYER.DAT")
        before = player_dat.read_bytes()
        bbs, sock = connected_pair()
        with headless_door(editor, game, bbs) as door:
            caller = Caller(sock)
            caller.wait_for(MAIN % 0)
            caller.send(b"]")
            sock.close()
            hung_up = time.monotonic()
            assert door.wait(10) == 0, "exit code %s" % door.returncode
            took = time.monotonic() - hung_up
            assert took < 2.5, "ended %.2f s after the hang-up" % took  # 1.5 s of it the message
        assert player_dat.read_bytes() == before
        assert fcntl.fcntl(bbs, fcntl.F_GETFL) >= 0  # still open
        bbs.close()
    # SIGHUP at a key wait, and SIGTERM while a record waits for a busy PLAYER.DAT: the door ends
    # through its exit step (the caller gets the plain colour), and the record is written whole
    # first.
    for sig, busy in ((signal.SIGHUP, False), (signal.SIGTERM, True)):
        with scratch_game(sample) as game:
            player_dat = pathlib.Path(game, "PLAYER.DAT")
            before = player_dat.read_bytes()
            bbs, sock = connected_pair()
            with open(player_dat, "rb+") as node, headless_door(editor, game, bbs) as door:
                caller = Caller(sock)
                caller.wait_for(MAIN % 0)
                if busy:
                    # Once the screen is whole the door reads nothing more before its key wait;
                    # then a game node takes the file.
                    caller.wait_for("Input key to change, or Q to quit")
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
            after = player_dat.read_bytes()
            assert len(after) == len(before)
            changed = [n for n in range(len(after) // 236)
                       if after[n * 236:(n + 1) * 236] != before[n * 236:(n + 1) * 236]]
            assert changed == ([0] if busy else []), "records changed: %s" % changed
            bbs.close()
            sock.close()


def telnet_client(launcher, sample):
    with scratch_game(sample) as game:
        with subprocess.Popen([launcher, "--port", "0"], cwd=game, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE) as bbs:
            try:
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
                telnet.send("q")
                telnet.wait_for_raw(b"Zorvan/32 Credits:")
                telnet.wait_for("Connection closed by foreign host")  # the launcher hung up
                assert bbs.wait(20) == 0, "exit code %s" % bbs.returncode
                telnet.finish()
            finally:
                bbs.kill()


def winserver(editor, sample, libdir, wine=None):
    """-W: the door reaches the caller through our fake DOOR32 library and learns who is calling
    from the fake WCSRV; the test is the BBS's line behind DOOR32 (natively with the .so fakes
    found through LD_LIBRARY_PATH, or under Wine with the DLL fakes beside the .exe)."""
    for run in ("quit", "hang up", "nobody logged in"):
        with scratch_game(sample) as game:
            argv = [editor, "-W"]
            os.environ["ZORVAN_FAKE_WCSRV"] = "%d,4,0,30,Ann Caller" % (run != "nobody logged in")
            if wine:
                # Windows looks for a program's libraries in its own folder first.
                folder = os.path.join(game, "bin")
                os.mkdir(folder)
                for name in (editor, os.path.join(libdir, "DOOR32.DLL"),
                             os.path.join(libdir, "WCSRV.DLL")):
                    shutil.copy(name, folder)
                argv = [wine, os.path.join(folder, os.path.basename(editor)), "-W"]
            else:
                os.environ["LD_LIBRARY_PATH"] = libdir
            with socket.create_server(("127.0.0.1", 0)) as listener:
                os.environ["ZORVAN_FAKE_DOOR32_PORT"] = str(listener.getsockname()[1])
                if wine:  # the sysop's screen is not watched under Wine
                    door = subprocess.Popen(argv, cwd=game, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL)
                    sysop = None
                else:
                    sysop = Terminal(argv, game)
                listener.settimeout(60)
                sock, _ = listener.accept()  # DoorInitialize connected
            caller = Caller(sock)
            try:
                if run == "nobody logged in":
                    if sysop:
                        sysop.wait_for("No Carrier Detected")
                elif run == "quit":
                    caller.wait_for(MAIN % 0, 60)
                    if sysop:
                        sysop.wait_for("Ann Caller")  # the status line, from the user block
                        status = sysop.screen.row(24)
                        assert "Left: 00:29:" in status or "Left: 00:30:00" in status, status
                    caller.send(b"]")
                    caller.wait_for(MAIN % 1)
                    caller.send(b"q")
                    caller.wait_for_data(b"Zorvan/32 Credits:")
                else:
                    caller.wait_for(MAIN % 0, 60)
                    sock.close()  # the offline event
                    if sysop:
                        sysop.wait_for("Caller Dropped Carrier")
                code = sysop.finish() if sysop else door.wait(30)
                assert code == 0, "%s: exit code %s" % (run, code)
            finally:
                if not sysop:
                    door.kill()
                sock.close()


def serial_line(editor, sample):
    # -H with the tty descriptor: the caller sees the main screen with no telnet negotiation, and
    # drives the editor with keys.
    with scratch_game(sample) as game:
        line = PtyLine()
        caller = Caller(line)
        sysop = Terminal([editor, "-H%d" % line.slave, "-N1"], game, [line.slave])
        caller.wait_for(MAIN % 0)
        assert bytes([255]) not in caller.wire, caller.wire[:12]
        assert "VarnEdit/32" in caller.screen.row(0), caller.screen.row(0)
        caller.send(b"]")
        caller.wait_for(MAIN % 1)
        sysop.wait_for(MAIN % 1)
        caller.send(b"q")
        caller.wait_for_data(b"Zorvan/32 Credits:")
        assert sysop.finish() == 0, "exit code %s" % sysop.child.exitstatus
        assert not fcntl.fcntl(line.slave, fcntl.F_GETFL) & os.O_NONBLOCK, "left non-blocking"
        line.hang_up()
        os.close(line.slave)
    # DOOR32.SYS of kind 1; the caller hangs up at a key wait: the door says so on the sysop's
    # screen and ends with code 0 within 2 seconds.
    with scratch_game(sample) as game:
        line = PtyLine()
        caller = Caller(line)
        drop = write_door32_sys(game, "DOOR32.SYS", 1, line.slave, 38400)
        sysop = Terminal([editor, "-D" + drop], game, [line.slave])
        caller.wait_for(MAIN % 0)
        caller.send(b"]")
        caller.wait_for(MAIN % 1)
        line.hang_up()
        hung_up = time.monotonic()
        sysop.wait_for("Caller Dropped Carrier")
        assert sysop.finish() == 0, "exit code %s" % sysop.child.exitstatus
        took = time.monotonic() - hung_up
        assert took < 2.5, "ended %.2f s after the hang-up" % took  # 1.5 s of it the message
        os.close(line.slave)


def main():
    editor, launcher, sample, leg = sys.argv[1:5]
    if leg == "winserver":
        winserver(editor, sample, *sys.argv[5:7])
    elif leg == "socket":
        handle_on_command_line(editor, sample)
        door32_sys(editor, sample)
    elif leg == "ends":
        early_ends(editor, sample)
    elif leg == "serial":
        serial_line(editor, sample)
    else:
        telnet_client(launcher, sample)
    print("%s: passed" % leg)


if __name__ == "__main__":
    main()
