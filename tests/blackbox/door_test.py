#!/usr/bin/env python3
"""The door as a BBS runs it, the test playing the BBS and the caller, one leg per run.
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME socket|ends|telnet|serial|linux_bbs|stdio
  door_test.py ZORVAN32 BBS_LAUNCHER SAMPLE_GAME stalled FAST_CLOCK_LIBRARY
  door_test.py ZORVAN32 - SAMPLE_GAME winserver FAKE_LIBRARY_DIR [WINE]
  door_test.py ZORVAN32.EXE - SAMPLE_GAME stdio_pipes|stdio_quits|com_port|stdio_console|local_console WINE
The Windows build (a name ending in .exe) runs under the Wine named last."""
import contextlib
import fcntl
import os
import pathlib
import re
import signal
import socket
import subprocess
import sys
import time
import types

from blackbox import (IAC, MAIN, PLAIN_COLOUR, PROMPT, Caller, PipeLine, PtyLine, Terminal,
                      connected_pair, daemon_run, ends_soon, exited, fake_bbs, field, headless,
                      journal_lines, players, poke, records, scratch_game, wait_until,
                      write_door32_sys, write_drop_file)

ANNOUNCEMENTS = bytes([255, 251, 1, 255, 251, 0])  # IAC WILL ECHO, IAC WILL BINARY
# The carrier-lost message, then the exit step's plain colour: a caller's last screen.
LAST_WORDS = b"   Caller Dropped Carrier.  Returning To BBS...\r\n" + PLAIN_COLOUR
# Keys without a meaning here (F11, F12, Shift-Tab, keypad 5, Ctrl-Up, Ctrl-Left): one key each.
ODD_KEYS = b"\x1b[23~\x1b[24~\x1b[Z\x1b[E\x1b[1;5A\x1bO5D"
# A nickname in CP437 frame and block characters, and how a UTF-8 caller sees it.
FRAMED = b"\xC9\xCD\xBB Zed \xB0\xFE"
FRAMED_UTF8 = "\u2554\u2550\u2557 Zed \u2591\u25a0"


def lines_of(count, values):
    """count lines, empty but the numbered ones given."""
    return [values.get(n, "") for n in range(1, count + 1)]


# The drop files of a BBS on Linux whose daemon starts doors with no terminal, for Ann Beeton with
# 252 minutes left. DOOR32.SYS is as that BBS writes it, byte for byte: connection type 0 even for
# a socket caller (the socket is line 2), and line 9 in seconds. Its DOOR.SYS on node 2: line 1
# without the colon, line 18 the seconds and line 19 the minutes left. DORINFO1.DEF has no node
# line: the node comes from -N.
LINUX_BBS = [
    ("door32.sys", "1", ["0", "6", "38400", "WWIV 5.9.0", "1", "Ann Beeton", "ANN BEE", "255",
                         "15120", "1", "1"]),
    ("door.sys", "2", lines_of(52, {1: "COM1", 2: "38400", 4: "2", 10: "Ann Beeton", 18: "15120",
                                    19: "252", 20: "GR", 36: "ANN BEE"})),
    ("dorinfo1.def", "3", ["Night Owl BBS", "Sid Sysop", "", "COM1", "38400 BAUD,N,8,1", "0",
                           "Ann", "Beeton", "Leeds, WY", "1", "255", "252"])]


def session(caller, sysop=None, wait=None, hang_up=None, limit=2.5, **more):
    """What the edit needs of a started door: the caller's side, the sysop's screen (or None), the
    door's exit code, the caller's hang-up and how soon after it the door must end; more, such as
    the name's keys."""
    return types.SimpleNamespace(caller=caller, sysop=sysop, wait=wait or sysop.finish,
                                 hang_up=hang_up, limit=limit, **more)


def edit_as_caller(run, start, end, *params):
    """One session over a transport: start(run, game, end, *params), a generator, starts the door
    and yields its session, and after the end checks what is its own. The edit: to the second
    player (both screens follow), the sysop's keys back to the first (odd keys there, and natively
    an up arrow and PgDn on the main screen, an arrow and Ctrl-Y typed first at the name prompt:
    none moves or types anything) and a new name for them. The end: Q and code 0, or a hang-up
    after which the door ends soon."""
    odd = b"" if run.wine else ODD_KEYS
    started = contextlib.contextmanager(start)
    with scratch_game(run.sample) as game, started(run, game, end, *params) as s:
        caller = s.caller
        caller.wait_for(MAIN % 0, 60)
        assert "VarnEdit/32" in caller.row(0), caller.row(0)
        caller.send((odd and b"\x1b[A\x1b[6~" + odd) + b"]")
        for side in filter(None, (caller, s.sysop)):
            side.wait_for(MAIN % 1)
        if s.sysop:
            s.sysop.send(ODD_KEYS + b"[")
            caller.wait_for(MAIN % 0)
        caller.send(b"3")
        caller.wait_for(PROMPT)
        for keys in getattr(s, "name_keys", [b"\x1b[D\x19" + odd + b"Kit\r"]):
            caller.send(keys)
        caller.wait_for(":Kit ")
        kit = 0 if s.sysop else 1
        assert field(game, kit, "name") == "Kit", field(game, kit, "name")
        if end == "quit":
            caller.quit()
            exited(s.wait())
        elif end == "hang up":
            since = time.monotonic()
            s.hang_up()
            if s.sysop:
                s.sysop.wait_for("Caller Dropped Carrier")
            ends_soon(s.wait, since, s.limit)


def door_argv(run, *args):
    return ([run.wine] if run.wine else []) + [run.editor, *args]


def not_blocking(fd):
    return fcntl.fcntl(fd, fcntl.F_GETFL) & os.O_NONBLOCK


def telnet_socket(run, game, end, sig=None):
    """-H: a telnet line handed over, the caller in UTF-8 (-U), the sysop watching. UTF-8 keys
    arrive as characters: the name typed with a character CP437 lacks, one it has (not a name
    letter) split over two sends, and an arrow. The caller quits, and the line is the BBS's again;
    or hangs up right after a key that redraws the screen, noticed at the next key wait; or the
    BBS sends sig while a record waits for a busy PLAYER.DAT: the record is written whole first,
    then the caller, still on the line, reads the carrier-lost message as their last screen and
    the exit step gives them the plain colour. Each way the door leaves the line in the blocking
    mode it had."""
    poke(game, 0, "name", FRAMED)
    inn = field(game, 0, "inn")
    bbs, sock = connected_pair()
    with bbs, sock, open(os.path.join(game, "PLAYER.DAT"), "rb+") as node:
        bbs.setblocking(True)
        caller = Caller(sock, "utf-8")
        sysop = Terminal([run.editor, "-H%d" % bbs.fileno(), "-N1", "-T", "-U"], game,
                         [bbs.fileno()])
        hang_up = lambda: caller.send(b"]") or sock.close()
        if sig:
            hang_up = lambda: signal_in_save(caller, sysop.child, node, sig)
        yield session(caller, sysop, hang_up=hang_up, limit=7 if sig else 3.5,
                      name_keys=[b"\x19\xe2\x82\xacKi\xc3", b"\xa9\x1b[Ct\r"])
        assert caller.wire.startswith(ANNOUNCEMENTS), caller.wire[:12]
        assert FRAMED_UTF8.encode() in caller.data and FRAMED not in caller.data, "not UTF-8"
        # A caller the options bring has no name, but is no sysop.
        assert {tuple(line[1:3]) for line in journal_lines(game)} == {("1", "caller")}
        if end == "quit":
            bbs.sendall(b"back at the BBS")
            caller.wait_for_data(b"back at the BBS")
        assert not not_blocking(bbs), "the door left it non-blocking"
        if sig:
            caller.wait_for_data(PLAIN_COLOUR)
            assert caller.data.endswith(LAST_WORDS), caller.data[-80:]
            assert field(game, 0, "inn") != inn, "the save before the signal lost"


def signal_in_save(caller, door, node, sig):
    # A game node takes the file, the inn toggle flips a flag and saves, and sig comes inside the
    # save's 5-second retry, even on a slow machine.
    fcntl.lockf(node, fcntl.LOCK_EX | fcntl.LOCK_NB)
    caller.send(b"n")
    time.sleep(3)
    door.kill(sig)
    time.sleep(0.5)
    assert door.isalive(), "ended in the middle of a save"
    fcntl.lockf(node, fcntl.LOCK_UN)


def serial_line(run, game, end):
    # DOOR32.SYS of kind 1 with the tty: no telnet negotiation; the caller hangs up at a key wait.
    # 1.6 s natively; drawing the sysop's screen under a loaded sanitizer run takes 1 s more.
    line = PtyLine()
    drop = write_door32_sys(game, "DOOR32.SYS", 1, line.slave)
    caller = Caller(line)
    yield session(caller, Terminal([run.editor, "-D" + drop], game, [line.slave]),
                  hang_up=line.hang_up, limit=3.5)
    assert bytes([IAC]) not in caller.wire, caller.wire[:12]
    assert not not_blocking(line.slave), "the door left it non-blocking"
    os.close(line.slave)


def stdio_pty(run, game, end):
    # As a Linux BBS runs a door for an SSH or telnet caller: a pseudo-terminal joined to the caller,
    # a DOOR32.SYS whose connection lines do not apply, and -S: raw, no negotiation, no status line.
    drop = write_door32_sys(game, "door32.sys", 2, 9999)
    caller = Terminal([run.editor, "-S", "-D" + drop], game, encoding="cp437")
    yield session(caller, None, caller.finish)
    assert caller.data.startswith(b"\x1b[2J"), caller.data[:12]
    assert not caller.line_mode(), "the terminal was left in line mode"
    assert "Ann Caller" not in caller.text(), "the status line reached the caller"
    caller.done()


def stdio_pipes(run, game, end):
    # -S on pipes: CP437 bytes as they are; then the caller's input ends, or Q ends the door while
    # the caller keeps the pipe open and silent.
    # Natively the caller quits through a relay that reads slowly and stops when the door ends: the
    # door waits for the last screen to be read.
    poke(game, 0, "name", FRAMED)
    with headless(door_argv(run, "-S", "-N2"), game, pipes=True) as door:
        caller = Caller((SlowRelay if end == "quit" and not run.wine else PipeLine)(door))
        yield session(caller, None, lambda: door.wait(10), door.stdin.close)
        assert caller.wire.startswith(b"\x1b[2J") and FRAMED in caller.wire, caller.wire[:12]
        if end == "quit":
            caller.wait_for_data(b"All rights reserved.")


class SlowRelay(PipeLine):
    def recv(self, n):
        time.sleep(0.02)
        return b"" if self.door.poll() is not None else super().recv(512)


def stdio_socket(run, game, end):
    # -S on a socket (a BBS may hand one over as standard input and output): Q ends the door while
    # the caller keeps the line open and silent; a read left waiting must not keep it (under Wine it
    # stayed until the next key).
    door_end, caller_end = socket.socketpair()
    with caller_end, headless(door_argv(run, "-S", "-N2"), game, line=door_end) as door:
        door_end.close()
        yield session(Caller(caller_end), None, lambda: door.wait(10))


def socat_relay(run, game, end):
    # -S in the pseudo-terminal of a relay (socat): a caller who floods keys, reads nothing and
    # hangs up. Keys must still be taken while the output waits, or the relay, its writes stuck,
    # never reads on to the hang-up.
    door_end, caller_end = socket.socketpair()
    code = pathlib.Path(game, "door.code")
    relay = ["socat", "STDIO", "SYSTEM:%s -S -N2; echo $? >%s,pty" % (run.editor, code)]
    with caller_end, headless(relay, game, line=door_end):
        door_end.close()
        yield session(Caller(caller_end), None, lambda: exit_code(code),
                      lambda: flood_and_hang_up(caller_end), 6)


def exit_code(path, seconds=20):
    """The code a shell wrote in path once its command ended."""
    wait_until(lambda: path.exists() and path.read_text().endswith("\n"),
               lambda: time.sleep(0.1) or True, lambda: "an exit code in %s" % path, seconds)
    return int(path.read_text())


def linux_bbs_caller(run, game, end, name, lines, line_end, node):
    # -S with a Linux BBS's drop file: the journal of the edit names the caller and node it gives;
    # DORINFO1.DEF has no node line: -N gives it. At the console its DOOR32.SYS gives a local
    # session of 252 minutes (15120 read as seconds, not hours), its status line on a 24-row
    # terminal's last row, which the screen leaves blank.
    argv = [run.editor, "-D" + write_drop_file(game, name, lines, line_end)]
    if name == "door32.sys":
        sysop = Terminal(argv, game, rows=24)
        sysop.wait_for("Left: ")
        status = sysop.row(23)
        assert "Ann Beeton" in status and re.search(r"Left: 04:1[12]:\d\d", status), status
        sysop.done()
    with headless(argv + ["-S"] + (["-N" + node] if "dorinfo" in name else []), game,
                  pipes=True) as door:
        yield session(Caller(PipeLine(door)), None, lambda: door.wait(20))
    seen = {tuple(line[1:3]) for line in journal_lines(game)}
    assert seen == {(node, "Ann Beeton")}, (name, line_end, seen)
    if name != "dorinfo1.def":
        # Started by the daemon without -S, no caller can be reached: the log says which line made
        # the session local and what to give instead.
        code, log = daemon_run(argv, game)
        assert code == 1 and len(log) == 1, (name, code, log)
        said = "zorvan32: %s line 1 says \"%s\": a local session" % (name, lines[0])
        assert log[0].startswith(said) and "-H%H -N%N -T" in log[0] and "-S" in log[0], log


def wine_prefix_ready(wine):
    """Makes the Wine prefix if it is new (so that its dosdevices folder exists); gives its path.
    The Wine server this starts, which the door then shares, writes nowhere: told of a hang-up on
    a tty it holds, it lists all its objects, thousands of lines."""
    subprocess.run([wine, "cmd", "/c", "rem"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=120)
    return os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")


def com_port(run, game, end):
    """zorvan32.exe under Wine on a COM port it opens itself (DOOR.SYS gives "COM29:"), a
    pseudo-terminal that the Wine prefix names COM29; the test is the caller's modem on its master.
    No telnet negotiation; the caller quits or hangs up, and the door ends soon with code 0."""
    link = os.path.join(wine_prefix_ready(run.wine), "dosdevices", "com29")
    line = PtyLine()
    with contextlib.suppress(FileNotFoundError):
        os.unlink(link)
    os.symlink(os.ttyname(line.slave), link)
    drop = write_drop_file(game, "DOOR.SYS", lines_of(52, {
        1: "COM29:", 2: "38400", 4: "1", 10: "Ann Caller", 18: "60", 20: "GR", 26: "2", 36: "Ann"}))
    try:
        with headless([run.wine, run.editor, "-D" + drop], game) as door:
            caller = Caller(line)
            yield session(caller, None, lambda: door.wait(10), line.hang_up, 5)
            assert bytes([IAC]) not in caller.wire, caller.wire[:12]
    finally:
        os.unlink(link)
        os.close(line.slave)


def local_console(run, game, end):
    """zorvan32.exe -L under Wine in a pseudo-terminal, where Wine gives it a console: the sysop's
    screen through the console API and the sysop's keys, arrows included, from its input
    records. Esc at a prompt backs out to the main screen."""
    sysop = Terminal([run.wine, run.editor, "-L"], game)
    sysop.wait_for("Enter your name", 60)
    sysop.send(b"\r")
    sysop.wait_for(MAIN % 0, 60)
    sysop.send(b"3")
    sysop.wait_for(PROMPT)
    sysop.send(b"\x1b")
    sysop.wait_gone(PROMPT)
    yield session(sysop, None, lambda: sysop.finish(10))


def stdio_console(run):
    """zorvan32.exe -S under Wine in a pseudo-terminal, where Wine gives it a console: the caller's
    keys come as the console's input records. Wine's console draws what it is given its own way,
    so the test reads the bytes and the game file, not a screen."""
    with scratch_game(run.sample) as game:
        caller = Terminal([run.wine, run.editor, "-S", "-N2"], game)

        def after(start, text):
            wait_until(lambda: text in caller.data[start:], caller.pump,
                       lambda: "%r after: %r" % (text, caller.data[start:][-300:]), 60)
            return len(caller.data)

        seen = 0
        for key, text in ((b"", b"Account Number"), (b"]", b"Account Number"),
                          (b"3", PROMPT.encode())):
            caller.send(key)
            seen = after(seen, text)
        caller.send(b"\x19Kit\r")
        wait_until(lambda: field(game, 1, "name") == "Kit", caller.pump, lambda: "Kit saved")
        caller.send(b"q")
        after(seen, b"Credits")
        exited(caller.finish(10))


# Keys that redraw the main screen (next player, previous player), in sends as large as the door
# takes.
REDRAWS = b"][" * 32768


def flood_and_hang_up(sock, seconds=3):
    sock.settimeout(0.1)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with contextlib.suppress(TimeoutError):
            sock.send(REDRAWS)
    sock.close()


def keep_typing(sock, sysop, read_every=None, seconds=60):
    """The caller types redrawing keys: reading 512 bytes every read_every seconds (far slower than
    the door writes) for the seconds; or reading nothing until the door has taken no key for 2 s,
    its output queue full (True), or has ended (False). The sysop's screen is read all along, so
    the door never waits on it."""
    start = taken = time.monotonic()
    reads = 0
    while time.monotonic() < start + seconds and (read_every or time.monotonic() - taken < 2):
        with contextlib.suppress(BlockingIOError):
            sock.send(REDRAWS)
            taken = time.monotonic()
        if read_every and time.monotonic() >= start + reads * read_every:
            reads += 1
            with contextlib.suppress(BlockingIOError):
                sock.recv(512)
        if sysop.pump(0.01) is None:
            return False
    assert read_every or time.monotonic() - taken >= 2, "the door kept taking keys"
    return True


def stalled_caller(run):
    # A telnet caller with a small receive window who keeps typing and reads nothing: the door's
    # output queue fills and it stops reading keys. It must still end, with code 0: at SIGTERM or
    # the caller's hang-up within a few seconds (the caller's unread bytes fill the door's input,
    # so only the failed send tells it); and as a lost carrier once the line has taken nothing for
    # 2 minutes (the clock 30 times fast: 4 s), where a caller reading slowly for 3 minutes before
    # that was never cut off.
    for end, speed in (("SIGTERM", 1), ("hang up", 1), ("stall", 30)):
        with scratch_game(run.sample) as game:
            bbs, sock = connected_pair(receive_window=4096)
            drop = write_door32_sys(game, "door32.sys", 2, bbs.fileno(), 115200)
            sysop = Terminal([run.editor, "-D" + drop], game, [bbs.fileno()],
                             env=dict(LD_PRELOAD=run.extra, ZORVAN_CLOCK_SPEED=str(speed),
                                      ASAN_OPTIONS="verify_asan_link_order=0"))
            try:
                Caller(sock).wait_for(MAIN % 0)
                bbs.close()
                sock.setblocking(False)
                if end == "stall":
                    cut_off = not keep_typing(sock, sysop, 0.05, 6)
                    assert not cut_off and "Dropped" not in sysop.text(), "a slow reader cut off"
                # The stall may end the door before the caller is sure that it stopped reading.
                assert keep_typing(sock, sysop) or end == "stall", "%s: ended too soon" % end
                if end == "SIGTERM":
                    sysop.child.kill(signal.SIGTERM)
                elif end == "hang up":
                    sock.close()
                since = time.monotonic()
                sysop.wait_for("Caller Dropped Carrier", 30)
                ends_soon(lambda: sysop.finish(10), since, 30 if end == "stall" else 5)
            finally:
                sysop.child.terminate(force=True)
                sock.close()


def telnet_client(run):
    with scratch_game(run.sample) as game, \
            headless([run.launcher, "--port", "0"], game, pipes=True) as bbs:
        port = bbs.stdout.readline().split()[-1].decode()
        telnet = Terminal(["telnet", "127.0.0.1", port], game)
        telnet.wait_for(MAIN % 0)
        telnet.send("]\r")  # a client offered only ECHO and BINARY keeps its line mode
        telnet.wait_for(MAIN % 1)
        telnet.send("q\r")
        telnet.wait_for("Connection closed by foreign host")  # the launcher hung up
        assert bbs.wait(20) == 0, "exit code %s" % bbs.returncode
        telnet.finish()


def winserver(run):
    """-W: the door reaches the caller through our fake DOOR32 library and learns who is calling
    from the fake WCSRV; the test is the BBS's line behind DOOR32. The caller hangs up (the offline
    event); or nobody is logged in. The sysop's screen is not watched under Wine."""
    for logged_in in (True, False):
        with scratch_game(run.sample) as game, contextlib.ExitStack() as stack:
            [command], listener = stack.enter_context(
                fake_bbs(game, run.extra, run.wine, [run.editor], logged_in))
            argv = command + ["-W"]
            door = stack.enter_context(headless(argv, game)) if run.wine else None
            sysop = None if run.wine else Terminal(argv, game)
            sock, _ = listener.accept()  # DoorInitialize connected
            stack.callback(sock.close)
            if logged_in:
                Caller(sock).wait_for(MAIN % 0, 60)
                sock.close()  # the offline event
            if sysop:
                sysop.wait_for("Caller Dropped Carrier" if logged_in else "No Carrier Detected")
            exited(sysop.finish() if sysop else door.wait(30), logged_in)


LEGS = {  # each leg's tests: an edit as a caller (its start, end and parameters), or one alone
    "socket": [(telnet_socket, "quit"), (telnet_socket, "hang up")],
    "ends": [(telnet_socket, "hang up", signal.SIGHUP)], "serial": [(serial_line, "hang up")],
    "stdio": [(stdio_pty, None), (stdio_pipes, "hang up"), (stdio_pipes, "quit"),
              (socat_relay, "hang up")],
    "stdio_pipes": [(stdio_pipes, "hang up")],
    "stdio_quits": [(stdio_pipes, "quit"), (stdio_socket, "quit")],
    "com_port": [(com_port, "quit"), (com_port, "hang up")],
    "local_console": [(local_console, "quit")],
    # A BBS on Linux: its DOOR32.SYS says connection type 0 even for a socket caller and gives the
    # time left in seconds; its DOOR.SYS names COM1 without the colon; its daemon starts doors with
    # no terminal. Each with LF and CR LF ends.
    "linux_bbs": [(linux_bbs_caller, "quit", name, lines, end, node)
                  for end in ("\n", "\r\n") for name, node, lines in LINUX_BBS],
    "stalled": [(stalled_caller,)], "telnet": [(telnet_client,)], "winserver": [(winserver,)],
    "stdio_console": [(stdio_console,)]}


def main():
    editor, launcher, sample, leg, *extra = sys.argv[1:]
    run = types.SimpleNamespace(editor=editor, launcher=launcher, sample=sample,
                                extra=extra[0] if extra else None,
                                wine=extra[-1] if editor.endswith(".exe") else None)
    for test, *params in LEGS[leg]:
        if params:
            edit_as_caller(run, test, *params)
        else:
            test(run)
    print("%s: passed" % leg)


if __name__ == "__main__":
    main()
