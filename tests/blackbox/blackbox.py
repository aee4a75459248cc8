"""Helpers shared by the black-box tests: a scratch copy of the sample game, a rendered screen, the
real program in a pseudo-terminal and a caller on a TCP connection. Waiting is always for something
visible, with a deadline; nothing sleeps."""
import contextlib
import errno
import os
import select
import shutil
import socket
import tempfile
import termios
import time

import pexpect
import ptyprocess
import pyte

COLUMNS, ROWS = 80, 25
IAC = 255


@contextlib.contextmanager
def scratch_game(sample):
    """A copy of the sample game with a ZORVAN32.CFG naming it."""
    scratch = tempfile.mkdtemp(prefix="zorvan-bb-")
    try:
        shutil.copytree(sample, scratch, dirs_exist_ok=True)
        with open(os.path.join(scratch, "ZORVAN32.CFG"), "wb") as cfg:
            cfg.write(scratch.encode() + b"/\r\n")
        yield scratch
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def wait_until(check, pump, what, seconds=20):
    """Pumps (each pump waits a little for input) until check() holds or the deadline passes;
    what() describes the failure."""
    deadline = time.monotonic() + seconds
    while not check():
        if (time.monotonic() > deadline or pump() is None) and not check():
            raise AssertionError("never seen: %s" % what())


class Screen:
    def __init__(self, encoding):
        self.screen = pyte.Screen(COLUMNS, ROWS)
        self.stream = pyte.Stream(self.screen)
        self.encoding = encoding

    def feed(self, data):
        self.stream.feed(data.decode(self.encoding, "replace"))

    def text(self):
        return "\n".join(self.screen.display)

    def row(self, n):
        return self.screen.display[n]

    def colour(self, row, text):
        return self.screen.buffer[row][self.row(row).index(text)].fg


class _Spawn(pexpect.spawn):
    pass_fds = ()

    def _spawnpty(self, args, **kwargs):
        return ptyprocess.PtyProcess.spawn(args, pass_fds=self.pass_fds, **kwargs)


class Terminal:
    """A command in a UTF-8 pseudo-terminal (the sysop's screen and keys), inheriting pass_fds."""

    def __init__(self, argv, cwd, pass_fds=()):
        self.screen = Screen("utf-8")
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
        for fd in pass_fds:
            os.set_inheritable(fd, True)  # kept open by the spawn, but still closed at exec
        _Spawn.pass_fds = tuple(pass_fds)
        self.child = _Spawn(argv[0], argv[1:], cwd=cwd, env=env, dimensions=(ROWS, COLUMNS))
        self.raw = b""

    def pump(self, timeout=0.2):
        try:
            data = self.child.read_nonblocking(65536, timeout=timeout)
        except pexpect.TIMEOUT:
            return False
        except pexpect.EOF:
            return None
        self.raw += data
        self.screen.feed(data)
        return True

    def send(self, keys):
        self.child.send(keys)

    def wait_for(self, needle, seconds=20):
        wait_until(lambda: needle in self.screen.text(), self.pump,
                   lambda: "%r\nscreen:\n%s" % (needle, self.screen.text()), seconds)

    def wait_for_raw(self, needle, seconds=20):
        wait_until(lambda: needle in self.raw, self.pump,
                   lambda: "%r\ntail: %r" % (needle, self.raw[-400:]), seconds)

    def line_mode(self):
        """Whether the program keeps the terminal's line editing (keys go on Enter)."""
        return bool(termios.tcgetattr(self.child.child_fd)[3] & termios.ICANON)

    def finish(self, seconds=20):
        """Reads to the end and gives the exit code."""
        deadline = time.monotonic() + seconds
        while self.pump() is not None:
            assert time.monotonic() < deadline, "the program did not end"
        self.child.close()
        return self.child.exitstatus


class Caller:
    """The caller's end of a telnet connection: the wire bytes, the data with telnet commands taken
    out (255 255 is one 255) and the CP437 screen drawn from that data."""

    def __init__(self, sock):
        self.sock = sock
        self.wire = b""
        self.data = b""
        self.screen = Screen("cp437")
        self.eof = False
        self._iac = 0  # bytes of a telnet command still to skip

    def pump(self, timeout=0.2):
        if self.eof or not select.select([self.sock], [], [], timeout)[0]:
            return None if self.eof else False
        chunk = self.sock.recv(65536)
        if not chunk:
            self.eof = True
            return None
        self.wire += chunk
        text = bytearray()
        for byte in chunk:
            if self._iac == 1 and byte == IAC:
                text.append(IAC)
                self._iac = 0
            elif self._iac:
                self._iac = 0 if self._iac == 2 else 2
            elif byte == IAC:
                self._iac = 1
            else:
                text.append(byte)
        self.data += bytes(text)
        self.screen.feed(bytes(text))
        return True

    def send(self, keys):
        self.sock.sendall(keys)

    def wait_for(self, needle, seconds=20):
        wait_until(lambda: needle in self.screen.text(), self.pump,
                   lambda: "%r on the caller's screen:\n%s" % (needle, self.screen.text()), seconds)

    def wait_for_data(self, needle, seconds=20):
        wait_until(lambda: needle in self.data, self.pump,
                   lambda: "%r from the door; tail: %r" % (needle, self.data[-300:]), seconds)


def connected_pair():
    """A real loopback TCP connection: (the BBS's side, the caller's side)."""
    with socket.create_server(("127.0.0.1", 0)) as listener:
        caller = socket.create_connection(listener.getsockname())
        bbs, _ = listener.accept()
    return bbs, caller


class PtyLine:
    """The caller's modem on the master side of a pseudo-terminal, with the socket calls that
    Caller uses; the slave is the serial line the BBS hands to the door."""

    def __init__(self):
        self.master, self.slave = os.openpty()

    def fileno(self):
        return self.master

    def recv(self, n):
        try:
            return os.read(self.master, n)
        except OSError as e:  # EIO: the door's side is closed
            if e.errno != errno.EIO:
                raise
            return b""

    def sendall(self, data):
        while data:
            data = data[os.write(self.master, data):]

    def hang_up(self):
        os.close(self.master)
