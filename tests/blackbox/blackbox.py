"""Helpers shared by the black-box tests: a scratch copy of the sample game, a rendered screen, the
real program in a pseudo-terminal or headless, and a caller on a TCP connection, a pseudo-terminal
or pipes. Waiting is always for something visible, with a deadline; nothing sleeps."""
import contextlib
import errno
import fcntl
import os
import pathlib
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import termios
import time

import pexpect
import ptyprocess
import pyte

COLUMNS, ROWS = 80, 25
IAC = 255
RECORD = 236
MAIN = "Account Number: %d"
PROMPT = "Enter VARN Name"
CREDITS = b"Zorvan/32 Credits:"
PLAIN_COLOUR = b"\x1b[0;37m\x1b[40m\x1b[40m"  # the exit step's last words to a caller


@contextlib.contextmanager
def scratch_game(sample):
    """A copy of the sample game with a ZORVAN32.CFG naming it."""
    with tempfile.TemporaryDirectory(prefix="zorvan-bb-", ignore_cleanup_errors=True) as scratch:
        shutil.copytree(sample, scratch, dirs_exist_ok=True)
        pathlib.Path(scratch, "ZORVAN32.CFG").write_bytes(scratch.encode() + b"/\r\n")
        yield scratch


def players(game):
    return pathlib.Path(game, "PLAYER.DAT").read_bytes()


def records(data):
    return [data[n:n + RECORD] for n in range(0, len(data), RECORD)]


# The record's fields by offset: a struct format for numbers, the maximum for texts. Written from
# the record's layout, not from the program, so what it shows is checked against an independent
# reading.
FIELDS = [
    ("name", 0, 20), ("real_name", 21, 50), ("hit_points", 72, "<h"), ("hit_max", 78, "<h"),
    ("weapon_num", 80, "<h"), ("weapon_name", 82, 20), ("seen_master", 103, "<h"),
    ("forest_fights", 105, "<h"), ("player_fights", 107, "<h"), ("gold", 109, "<i"),
    ("bank", 113, "<i"), ("defense", 117, "<h"), ("strength", 119, "<h"), ("charm", 121, "<h"),
    ("seen_dragon", 123, "<h"), ("seen_quenna", 125, "<h"), ("level", 127, "<h"),
    ("time_on", 129, "<H"), ("armour_name", 131, 20), ("armour_num", 152, "<h"),
    ("dead", 154, "<B"), ("inn", 155, "<B"), ("gems", 156, "<h"), ("experience", 158, "<i"),
    ("sex", 162, "<B"), ("seen_bard", 163, "<B"), ("lays", 166, "<h"), ("on_now", 170, "<B"),
    ("skill_class", 179, "<B"), ("horse", 180, "<h"), ("kids", 210, "<h"),
    ("games_won", 212, "<h"), ("skill_dk", 214, "<b"), ("skill_mystic", 215, "<b"),
    ("skill_thief", 216, "<b"), ("uses_dk", 217, "<b"), ("uses_mystic", 218, "<b"),
    ("uses_thief", 219, "<b"), ("married_to", 221, "<h"), ("kills", 227, "<h"),
    ("weird_event", 229, "<h"), ("high_spirits", 231, "<B"), ("flirted", 232, "<B"),
]
FIELD = {name: (at, kind) for name, at, kind in FIELDS}


def decode(record, name):
    at, kind = FIELD[name]
    if isinstance(kind, int):
        return record[at + 1:at + 1 + min(record[at], kind)].decode("cp437")
    return struct.unpack_from(kind, record, at)[0]


def field(game, n, name):
    return decode(records(players(game))[n], name)


def pack(name, value):
    """A field's bytes as the record holds them: a text after its length byte."""
    kind = FIELD[name][1]
    return bytes([len(value)]) + value if isinstance(kind, int) else struct.pack(kind, value)


def poke(game, n, name, value):
    """Field name of record n as a node (under its flock) or a faulty program would leave it."""
    at, data = FIELD[name][0], pack(name, value)
    with open(os.path.join(game, "PLAYER.DAT"), "r+b") as f:
        fcntl.flock(f, fcntl.LOCK_EX)
        os.pwrite(f.fileno(), data, n * RECORD + at)


def run(program, game, *args, stdout=subprocess.PIPE):
    """A command word without a terminal: the exit code, stdout (unless sent elsewhere) and
    stderr, no screen codes."""
    done = subprocess.run([program, *args], cwd=game, stdout=stdout,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=60)
    out, err = (done.stdout or b"").decode(), done.stderr.decode()
    assert "\x1b" not in out + err, "a screen code from %s: %r" % (args, out + err)
    return done.returncode, out, err


def run_as_nobody(program, game, *args, **kwargs):
    """run() as the user nobody when root, who reads any file whatever its mode; the game
    directory opened to others."""
    os.chmod(game, 0o755)
    if os.geteuid() == 0:
        program, args = "setpriv", ("--reuid=65534", "--regid=65534", "--clear-groups", program,
                                    *args)
    return run(program, game, *args, **kwargs)


def hold(node, path, seconds):
    """A game node holding the file for the seconds; returns once it holds it."""
    holder = subprocess.Popen([node, "hold", path, str(seconds)], stdout=subprocess.PIPE)
    said = holder.stdout.readline()
    assert said == b"game_node: holding\n", said
    return holder


def exited(code, what=""):
    assert code == 0, "%sexit code %s" % (what and what + ": ", code)


def write_drop_file(game, name, lines, end="\r\n"):
    """A drop file of these lines, each ending in end; gives its path."""
    path = os.path.join(game, name)
    pathlib.Path(path).write_bytes("".join("%s%s" % (line, end) for line in lines).encode())
    return path


def write_door32_sys(game, name, kind, handle, baud=38400, minutes=60):
    """A DOOR32.SYS for Ann Caller (record 1, 60 minutes unless told, ANSI, node 1); gives its
    path."""
    return write_drop_file(game, name, [kind, handle, baud, "Test BBS", 1, "Ann Caller", "Ann",
                                        100, minutes, 1, 1])


def wait_until(check, pump, what, seconds=20):
    """Pumps (each pump waits a little for input) until check() holds or the deadline passes;
    what() describes the failure."""
    deadline = time.monotonic() + seconds
    while not check():
        if (time.monotonic() > deadline or pump() is None) and not check():
            raise AssertionError("never seen: %s" % what())


def ends_soon(wait, since, limit=2.5):
    """Exit code 0 within limit seconds of a hang-up: 1.5 s of it is the carrier-lost message, the
    rest slack for sanitizer builds on a loaded machine (natively it takes about 1.7 s)."""
    code = wait()
    took = time.monotonic() - since
    assert code == 0 and took < limit, "exit code %s, %.2f s after the hang-up" % (code, took)


class Side:
    """What a sysop's terminal and a caller share: data (the bytes seen) and the screen (80x25
    unless told) drawn from them in their encoding; pump() and send() are their own."""

    def __init__(self, encoding, rows=ROWS):
        self.data = b""
        self.encoding = encoding
        self.screen = pyte.Screen(COLUMNS, rows)
        self.stream = pyte.Stream(self.screen)

    def seen(self, chunk):
        self.data += chunk
        self.stream.feed(chunk.decode(self.encoding, "replace"))

    def text(self):
        return "\n".join(self.screen.display)

    def row(self, n):
        return self.screen.display[n]

    def colour(self, row, text):
        return self.screen.buffer[row][self.row(row).index(text)].fg

    def wait_for(self, needle, seconds=20):
        wait_until(lambda: needle in self.text(), self.pump,
                   lambda: "%r on the screen:\n%s" % (needle, self.text()), seconds)

    def wait_for_data(self, needle, seconds=20):
        wait_until(lambda: needle in self.data, self.pump,
                   lambda: "%r; tail: %r" % (needle, self.data[-300:]), seconds)

    def wait_gone(self, text, seconds=20):
        wait_until(lambda: text not in self.text(), self.pump,
                   lambda: "%r still on the screen:\n%s" % (text, self.text()), seconds)

    def quit(self):
        self.send(b"q")
        self.wait_for_data(CREDITS)

    def to_player(self, account):
        """From the first player's main screen, ] to the account's."""
        self.wait_for(MAIN % 0, 60)
        for n in range(1, account + 1):
            self.send(b"]")
            self.wait_for(MAIN % n)
        return self


class _Spawn(pexpect.spawn):
    pass_fds = ()

    def _spawnpty(self, args, **kwargs):
        return ptyprocess.PtyProcess.spawn(args, pass_fds=self.pass_fds, **kwargs)


class Terminal(Side):
    """A command in a pseudo-terminal (the sysop's screen and keys; UTF-8 unless told),
    inheriting pass_fds."""

    def __init__(self, argv, cwd, pass_fds=(), env=None, encoding="utf-8", rows=ROWS):
        super().__init__(encoding, rows)
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm", **(env or {}))
        for fd in pass_fds:
            os.set_inheritable(fd, True)  # kept open by the spawn, but still closed at exec
        _Spawn.pass_fds = tuple(pass_fds)
        self.child = _Spawn(argv[0], argv[1:], cwd=cwd, env=env, dimensions=(rows, COLUMNS))

    def pump(self, timeout=0.2):
        try:
            chunk = self.child.read_nonblocking(65536, timeout=timeout)
        except pexpect.TIMEOUT:
            return False
        except pexpect.EOF:
            return None
        self.seen(chunk)
        return True

    def send(self, keys):
        self.child.send(keys)

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

    def done(self):
        """Q from the main screen, and the end with code 0."""
        self.quit()
        exited(self.finish())


def open_on(editor, game, account=0, argv_prefix=()):
    """The editor in a pseudo-terminal, on the account's main screen."""
    return Terminal(list(argv_prefix) + [editor], game).to_player(account)


class Caller(Side):
    """The caller's end of a telnet connection (or of a pty or pipes, through the same calls):
    the wire bytes, the data with telnet commands taken out (255 255 is one 255) and the CP437
    screen drawn from that data."""

    def __init__(self, sock, encoding="cp437"):
        super().__init__(encoding)
        self.sock = sock
        self.wire = b""
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
        self.seen(bytes(text))
        return True

    def send(self, keys):
        self.sock.sendall(keys)


def connected_pair(receive_window=None):
    """A real loopback TCP connection: (the BBS's side, the caller's side). A receive_window in
    bytes is the caller's SO_RCVBUF, set before connecting, so it is the window the door sees."""
    with socket.create_server(("127.0.0.1", 0)) as listener:
        caller = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if receive_window:
            caller.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_window)
        caller.connect(listener.getsockname())
        bbs, _ = listener.accept()
    return bbs, caller


@contextlib.contextmanager
def headless(argv, game, pass_fds=(), pipes=False, env=None, line=None):
    """The program as a BBS daemon starts it (no terminal), the caller on its standard handles
    with pipes, or on line (a socket); killed at the end if it is still running, so a failed
    check cannot hang the test."""
    stdio = line or (subprocess.PIPE if pipes else subprocess.DEVNULL)
    with subprocess.Popen(argv, cwd=game, pass_fds=pass_fds, env=env, stdin=stdio,
                          stdout=stdio) as door:
        try:
            yield door
        finally:
            door.kill()


class PtyLine:
    """The socket calls that Caller uses over file descriptors: by default the caller's modem on
    the master side of a pseudo-terminal whose slave is the serial line the BBS hands to the
    door."""

    def __init__(self, read_fd=None, write_fd=None):
        if read_fd is None:
            read_fd, self.slave = os.openpty()
        self.master, self.write_fd = read_fd, write_fd or read_fd

    def fileno(self):
        return self.master

    def recv(self, n):
        try:
            return os.read(self.master, n)
        except OSError as e:  # EIO: the door's side of the terminal is closed
            if e.errno != errno.EIO:
                raise
            return b""

    def sendall(self, data):
        while data:
            data = data[os.write(self.write_fd, data):]

    def hang_up(self):
        os.close(self.master)


class PipeLine(PtyLine):
    """The caller on a door's standard input and output through pipes."""

    def __init__(self, door):
        super().__init__(door.stdout.fileno(), door.stdin.fileno())
        self.door = door


@contextlib.contextmanager
def fake_bbs(game, libdir, wine, programs, logged_in=True):
    """For -W on our fake BBS libraries: the user block the fake WCSRV gives, and a listener that
    is the BBS's line behind the fake DOOR32. Natively the libraries are found through
    LD_LIBRARY_PATH; under Wine they go beside copies of the programs, where Windows looks first.
    Gives each program's command and the listener."""
    os.environ["ZORVAN_FAKE_WCSRV"] = "%d,4,0,30,Ann Caller" % logged_in
    if wine:
        folder = os.path.join(game, "bin")
        os.makedirs(folder, exist_ok=True)
        for name in programs + [os.path.join(libdir, "DOOR32.DLL"),
                                os.path.join(libdir, "WCSRV.DLL")]:
            shutil.copy(name, folder)
        commands = [[wine, os.path.join(folder, os.path.basename(p))] for p in programs]
    else:
        os.environ["LD_LIBRARY_PATH"] = libdir
        commands = [[p] for p in programs]
    with socket.create_server(("127.0.0.1", 0)) as listener:
        os.environ["ZORVAN_FAKE_DOOR32_PORT"] = str(listener.getsockname()[1])
        listener.settimeout(60)
        yield commands, listener


def daemon_run(argv, game, pass_fds=(), seconds=30):
    """A start that ends by itself, as a BBS daemon makes it: no terminal, and a standard input
    that never ends (a caller on -S who stays) but brings nothing. Gives the exit code and the
    lines written on standard error (what the BBS logs)."""
    silent, open_end = os.pipe()
    try:
        done = subprocess.run(argv, cwd=game, pass_fds=pass_fds, stdin=silent,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=seconds)
    finally:
        os.close(silent)
        os.close(open_end)
    return done.returncode, done.stderr.decode("latin-1").splitlines()


def journal_lines(game):
    """ZORVAN32.LOG's lines as their tab-separated columns; none before it is made. Every line
    is whole: a torn write would leave the last one without its line end."""
    path = pathlib.Path(game, "ZORVAN32.LOG")
    text = path.read_bytes().decode() if path.exists() else ""
    assert text.endswith("\n") or not text, "ZORVAN32.LOG ends in part of a line: %r" % text[-200:]
    return [line.split("\t") for line in text.split("\n")[:-1]]


def sanitized(program):
    """Whether the program carries ASan's or TSan's runtime."""
    data = pathlib.Path(program).read_bytes()
    return b"__asan_init" in data or b"__tsan_init" in data


def file_bytes(game, names=None, skip=()):
    """Each file's bytes by its name (None when it is not a plain file), all but skip unless
    named; a sparse file of 30 GB or more is left out, never read."""
    paths = [pathlib.Path(game, name) for name in names or os.listdir(game) if name not in skip]
    return {path.name: path.read_bytes() if path.is_file() else None for path in paths
            if not path.is_file() or path.stat().st_size < 30 << 30}
