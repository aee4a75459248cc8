#!/usr/bin/env python3
"""Benchmarks of the editor, each printed with its ratio to a yardstick measured in the same run.

  bench.py <build dir> <sample game dir> [idle seconds]

idle CPU comes from the kernel's per-thread run time (/proc/<pid>/task/*/schedstat, nanoseconds,
all threads); write(2) and send() counts come from strace of the real program (where strace is
installed and may trace; a count it cannot give is reported as not measured, never as 0)."""
import collections
import contextlib
import glob
import http.client
import json
import os
import pty
import re
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse



def main_screen(account):
    """The main screen's account line; a colour change may stand between label and number."""
    return re.compile(rb"Account Number: (\x1b\[[0-9;]*m)*%d" % account)


LOCAL_MAIN = main_screen(0)
RECORD = 236


def cpu_ns(pid):
    total = 0
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # a thread that ended meanwhile
    return total


class Pty:
    """A program on a pseudo-terminal; everything it shows is kept in .out."""

    def __init__(self, argv, cwd):
        master, slave = pty.openpty()
        os.set_blocking(master, False)
        self.proc = subprocess.Popen(argv, cwd=cwd, stdin=slave, stdout=slave, stderr=slave,
                                     start_new_session=True, env=dict(os.environ, TERM="xterm",
                                                                      LANG="C.UTF-8"))
        os.close(slave)
        self.fd, self.out = master, b""

    def pump(self, seconds):
        end = time.monotonic() + seconds
        while True:
            left = end - time.monotonic()
            if left <= 0:
                return
            if select.select([self.fd], [], [], left)[0]:
                try:
                    self.out += os.read(self.fd, 65536)
                except OSError:
                    return

    def wait_for(self, text, start=0, limit=20.0):
        end = time.monotonic() + limit
        found = (lambda: text.search(self.out, start)) if hasattr(text, "search") else (
            lambda: text in self.out[start:])
        while not found():
            if time.monotonic() > end:
                raise TimeoutError(text)
            self.pump(0.002)

    def wait_quiet(self, start, quiet=0.15, limit=20.0):
        """Until output came after start and then nothing more for quiet seconds."""
        end = time.monotonic() + limit
        while len(self.out) <= start and time.monotonic() < end:
            self.pump(0.002)
        while True:
            before = len(self.out)
            self.pump(quiet)
            if len(self.out) == before or time.monotonic() > end:
                return

    def send(self, data):
        os.write(self.fd, data)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        os.close(self.fd)


class Door:
    """The editor as a telnet door on a loopback connection handed over as a BBS does."""

    def __init__(self, editor, game, wrap=()):
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        self.caller = socket.create_connection(listener.getsockname())
        bbs, _ = listener.accept()
        listener.close()
        self.caller.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.proc = subprocess.Popen(list(wrap) + [editor, "-H%d" % bbs.fileno(), "-N1", "-T"],
                                     cwd=game, pass_fds=[bbs.fileno()],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        bbs.close()
        self.wrapped = bool(wrap)
        self.out = b""

    def read_until(self, predicate, limit=20.0):
        end = time.monotonic() + limit
        while not predicate():
            left = end - time.monotonic()
            if left <= 0:
                raise TimeoutError("door output")
            if select.select([self.caller], [], [], left)[0]:
                data = self.caller.recv(65536)
                if not data:
                    raise EOFError("door hung up")
                self.out += data

    def drain(self, quiet=0.2):
        while select.select([self.caller], [], [], quiet)[0]:
            data = self.caller.recv(65536)
            if not data:
                return
            self.out += data

    def close(self):
        # Around a profiler the caller hangs up, so that the door ends through its exit steps (a few
        # seconds) and the profiler reports; otherwise the door is killed.
        if not self.wrapped:
            self.proc.kill()
        self.caller.close()
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def scratch_game(sample, players=None):
    game = tempfile.mkdtemp(prefix="zorvan-bench-")
    shutil.copytree(sample, game, dirs_exist_ok=True)
    with open(os.path.join(game, "ZORVAN32.CFG"), "wb") as cfg:
        cfg.write(game.encode() + b"/\r\n")
    if players:
        path = os.path.join(game, "PLAYER.DAT")
        data = open(path, "rb").read()
        records = [data[i:i + RECORD] for i in range(0, len(data), RECORD)]
        with open(path, "wb") as f:
            for i in range(players):
                f.write(records[i % len(records)])
    return game


def idle_cpu(proc_pid, seconds, pump):
    start_cpu, start = cpu_ns(proc_pid), time.monotonic()
    pump(seconds)
    used, spent = cpu_ns(proc_pid) - start_cpu, time.monotonic() - start
    return 100.0 * used / 1e9 / spent


def ratio(baseline, value):
    return "%.0fx below" % (baseline / value) if value > 0 else "below measurement (0 ns)"


def bench_idle(build, game, seconds):
    editor = os.path.join(build, "zorvan32")
    base = Pty([os.path.join(build, "bench", "bench_poll_baseline")], game)
    try:
        base.pump(0.5)
        baseline = idle_cpu(base.proc.pid, seconds, base.pump)
    finally:
        base.close()
    print("idle CPU, yardstick (poll + 1 ms sleep twice a round): %.3f%% of a core" % baseline)
    local = Pty([editor], game)
    try:
        local.wait_for(LOCAL_MAIN)
        local.pump(1.0)
        value = idle_cpu(local.proc.pid, seconds, local.pump)
    finally:
        local.close()
    print("idle CPU, local editor on its main screen (pty):  %.4f%% of a core (%s)"
          % (value, ratio(baseline, value)))
    door = Door(editor, game)
    try:
        door.read_until(lambda: LOCAL_MAIN.search(door.out))
        door.drain(1.0)
        value = idle_cpu(door.proc.pid, seconds, lambda s: door.drain(s))
    finally:
        door.close()
    print("idle CPU, telnet door on its main screen (status line each second): %.4f%% of a core "
          "(%s)" % (value, ratio(baseline, value)))


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


def bench_latency(build, game, keys=1000):
    door = Door(os.path.join(build, "zorvan32"), game)
    try:
        door.read_until(lambda: LOCAL_MAIN.search(door.out))
        door.drain(0.3)
        door.caller.sendall(b"Y")  # player search: an input line echoes every key
        door.read_until(lambda: b"partial name" in door.out)
        door.drain(0.3)
        times = []
        for i in range(keys):
            key, echo = (b"a", b"a") if i % 2 == 0 else (b"\x08", b"\x08 \x08")
            mark = len(door.out)
            start = time.perf_counter()
            door.caller.sendall(key)
            door.read_until(lambda: echo in door.out[mark:])
            times.append((time.perf_counter() - start) * 1000.0)
    finally:
        door.close()
    print("key-to-echo over loopback telnet, %d keys: p50 %.3f ms, p99 %.3f ms, max %.3f ms"
          % (keys, percentile(times, 50), percentile(times, 99), max(times)))


def redraw_tails(door):
    """The last bytes of a redraw of account 1 and of account 0, to know when one is complete."""
    tails = {}
    for key, account in ((b"]", 1), (b"[", 0)):
        mark = len(door.out)
        door.caller.sendall(key)
        door.read_until(lambda: main_screen(account).search(door.out, mark))
        door.drain(0.3)
        tails[key] = (door.out[-24:], len(door.out) - mark)
    return tails


def bench_screen_to_caller(build, game, rounds=100):
    door = Door(os.path.join(build, "zorvan32"), game)
    try:
        door.read_until(lambda: LOCAL_MAIN.search(door.out))
        door.drain(0.3)
        tails = redraw_tails(door)
        times = []
        for i in range(rounds):
            key = b"]" if i % 2 == 0 else b"["
            tail, _ = tails[key]
            mark = len(door.out)
            start = time.perf_counter()
            door.caller.sendall(key)
            door.read_until(lambda: door.out.endswith(tail) and len(door.out) > mark)
            times.append((time.perf_counter() - start) * 1000.0)
    finally:
        door.close()
    size = tails[b"]"][1]
    print("main screen to the caller (key to last byte, %d redraws of %d bytes): p50 %.3f ms, "
          "p99 %.3f ms" % (rounds, size, percentile(times, 50), percentile(times, 99)))


def strace_unusable():
    """Why strace cannot count system calls here (not installed, or not allowed to trace: a
    container without ptrace, say), or None when it can."""
    if not shutil.which("strace"):
        return "strace is not installed"
    done = subprocess.run(["strace", "-qq", "-o", os.devnull, "true"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    if done.returncode != 0:
        said = done.stderr.decode(errors="replace").strip().splitlines()
        return "strace cannot trace here (%s)" % (said[-1] if said else "exit %d" % done.returncode)
    return None


@contextlib.contextmanager
def strace_log(what):
    """A fresh strace log name, removed afterwards; None when strace cannot count calls here."""
    why = strace_unusable()
    if why:
        print("%s: not measured, %s" % (what, why))
        yield None
        return
    log = tempfile.mktemp(prefix="zorvan-strace-")
    try:
        yield log
    finally:
        for path in glob.glob(log + "*"):
            os.unlink(path)


def strace_lines(log):
    lines = []
    for path in glob.glob(log + "*"):
        with open(path, errors="replace") as f:
            lines.extend(f.readlines())
    return lines


STRACE_LINE = re.compile(r"(?:(\d+) +)?(.*)")


def count_calls(lines, call, fd):
    """How many calls of call on fd, and the bytes they moved, in strace lines. With -f a call that
    another thread interrupts is split in two lines, "call(fd, ... <unfinished ...>" and, later,
    "<... call resumed> ...) = n" from the same thread: counted once, with its result."""
    calls = moved = 0
    unfinished = set()  # threads whose call on fd has not returned yet
    for raw in lines:
        pid, line = STRACE_LINE.match(raw.strip()).groups()
        if line.startswith("%s(%d," % (call, fd)):
            if line.endswith("<unfinished ...>"):
                unfinished.add(pid)
                continue
        elif not (line.startswith("<... %s resumed>" % call) and pid in unfinished):
            continue
        unfinished.discard(pid)
        if "=" not in line:
            continue
        result = line.rsplit("=", 1)[1].split()[0]
        if result.lstrip("-").isdigit():
            calls += 1
            moved += max(int(result), 0)
    return calls, moved


def print_unmeasured(what, counts):
    """A redraw reached the screen in every round, so each made at least one call: a round with
    none means strace did not see them, and the figure cannot be given. True when so."""
    missed = sum(1 for calls, _ in counts if calls == 0)
    if missed:
        print("%s: not measured, strace recorded none of the calls in %d of %d redraws"
              % (what, missed, len(counts)))
    return missed > 0


def bench_sends(build, game, rounds=20):
    with strace_log("send() calls per main screen") as log:
        if log:
            sends_per_screen(build, game, rounds, log)


def sends_per_screen(build, game, rounds, log):
    wrap = ["strace", "-f", "-qq", "-e", "trace=sendto,sendmsg,write", "-o", log]
    door = Door(os.path.join(build, "zorvan32"), game, wrap)
    try:
        door.read_until(lambda: LOCAL_MAIN.search(door.out))
        door.drain(0.5)
        fd = None
        sends = []
        for i in range(rounds):
            key = b"]" if i % 2 == 0 else b"["
            account = 1 if i % 2 == 0 else 0
            before = strace_lines(log)
            mark = len(door.out)
            door.caller.sendall(key)
            door.read_until(lambda: main_screen(account).search(door.out, mark))
            door.drain(0.5)
            after = strace_lines(log)
            new = after[len(before):]
            if fd is None:
                fd = next((int(l.split("sendto(", 1)[1].split(",")[0]) for l in new
                           if "sendto(" in l), None)
            sends.append(count_calls(new, "sendto", fd) if fd is not None else (0, 0))
    finally:
        door.close()
    what = "send() calls per main-screen redraw to the caller"
    if print_unmeasured(what, sends):
        return
    calls = [c for c, _ in sends]
    print("%s (strace, %d redraws): max %d, median %d, %d bytes"
          % (what, rounds, max(calls), statistics.median(calls), sends[0][1]))


def bench_local_redraw(build, game, rounds=20):
    with strace_log("write(2) calls per local redraw") as log:
        if log:
            writes_per_redraw(build, game, rounds, log)


def writes_per_redraw(build, game, rounds, log):
    term = Pty(["strace", "-qq", "-e", "trace=write", "-o", log, os.path.join(build, "zorvan32")],
               game)
    try:
        term.wait_for(LOCAL_MAIN)
        term.pump(0.5)
        writes = []
        for i in range(rounds):
            key = b"]" if i % 2 == 0 else b"["
            before = strace_lines(log)
            mark = len(term.out)
            term.send(key)
            term.wait_quiet(mark)
            writes.append(count_calls(strace_lines(log)[len(before):], "write", 1))
    finally:
        term.close()
    if print_unmeasured("write(2) calls per local redraw", writes):
        return
    calls = [c for c, _ in writes]
    print("local redraw on the terminal (strace, %d redraws of the main screen): write(2) calls "
          "max %d, median %d; bytes median %d" % (rounds, max(calls), statistics.median(calls),
                                                  statistics.median(b for _, b in writes)))


def timed_saves(build, game, saves, wrap=()):
    """Milliseconds from Enter to the caller's redrawn screen showing each of saves gold edits
    (over the telnet door, whose stream is the whole text)."""
    door = Door(os.path.join(build, "zorvan32"), game, wrap)
    times = []
    try:
        door.read_until(lambda: LOCAL_MAIN.search(door.out))
        door.drain(0.2)
        for i in range(saves):
            gold = b"%d,%03d" % (100 + i // 1000, i % 1000)
            mark = len(door.out)
            door.caller.sendall(b"M")
            door.read_until(lambda: b"Gold in Hand" in door.out[mark:])
            door.drain(0.05)
            mark = len(door.out)
            start = time.perf_counter()
            door.caller.sendall(gold.replace(b",", b"") + b"\r")
            door.read_until(lambda: gold in door.out[mark:] and b"to quit" in door.out[mark:])
            times.append((time.perf_counter() - start) * 1000.0)
    finally:
        door.close()
    return times


def bench_journal(build, game, rounds=12, saves=50):
    """A field save with its journal line, against the same save with the journal unwritable (a
    directory in its place: the editor then only notes it once), and the write(2) calls each save
    makes on ZORVAN32.LOG. Each door process has a speed of its own (where the scheduler puts its
    threads), so many short runs are interleaved rather than a few long ones."""
    journal = os.path.join(game, "ZORVAN32.LOG")
    with_journal, without = [], []
    for _ in range(rounds):  # interleaved, so that a busy moment of the machine falls on both
        with_journal += timed_saves(build, game, saves)
        os.rename(journal, journal + ".kept")
        os.mkdir(journal)
        try:
            without += timed_saves(build, game, saves)
        finally:
            os.rmdir(journal)
            os.rename(journal + ".kept", journal)
    print("field save, Enter to the caller's redrawn screen (telnet door, %d x %d saves): median "
          "%.3f ms journaled, %.3f ms with no journal (%+.1f%%)" % (
              rounds, saves, statistics.median(with_journal), statistics.median(without),
              100.0 * (statistics.median(with_journal) / statistics.median(without) - 1)))
    journal_instructions(build, game, journal)
    with strace_log("write(2) calls on ZORVAN32.LOG per save") as log:
        if not log:
            return
        timed_saves(build, game, 20, ["strace", "-qq", "-e", "trace=openat,write", "-o", log])
        lines = strace_lines(log)
        fds = {int(l.rsplit("=", 1)[1]) for l in lines
               if "ZORVAN32.LOG" in l and l.startswith("openat(") and "= -" not in l}
        writes = sum(count_calls(lines, "write", fd)[0] for fd in fds)
        print("write(2) calls on ZORVAN32.LOG (strace, 20 saves): %d, %.1f a save"
              % (writes, writes / 20.0))
    with strace_log("system calls on ZORVAN32.RBK per save") as log:
        if not log:
            return
        rollback = os.path.join(game, "ZORVAN32.RBK")
        # The program names it relative to the game; strace names an open file's path in full.
        timed_saves(build, game, 20, ["strace", "-qq", "-P", "ZORVAN32.RBK", "-P", rollback,
                                      "-o", log])
        calls = collections.Counter(re.match(r"(?:\d+ +)?(\w+)\(", l).group(1)
                                    for l in strace_lines(log) if re.match(r"(?:\d+ +)?\w+\(", l))
        print("system calls on the rollback file ZORVAN32.RBK (strace, 20 saves): %s a save"
              % ", ".join("%s %.1f" % (name, n / 20.0) for name, n in sorted(calls.items())))


def callgrind_instructions(build, game, saves):
    out = tempfile.mktemp(prefix="zorvan-callgrind-")
    try:
        timed_saves(build, game, saves, ["valgrind", "-q", "--tool=callgrind",
                                         "--callgrind-out-file=" + out])
        with open(out) as f:
            return int(next(l for l in f if l.startswith("totals:")).split()[1])
    finally:
        for path in glob.glob(out + "*"):
            os.unlink(path)


def journal_instructions(build, game, journal, few=10, many=40):
    """Instructions a save costs with and without its journal line (callgrind: the difference
    between a run of many saves and one of few, so that start-up and exit cancel out). Unlike the
    times, these do not move with what else the machine is doing."""
    if not shutil.which("valgrind"):
        print("instructions per save: not measured, valgrind missing")
        return
    per_save = []
    for journaled in (True, False):
        if not journaled:
            os.rename(journal, journal + ".kept")
            os.mkdir(journal)
        try:
            counts = [callgrind_instructions(build, game, n) for n in (few, many)]
        finally:
            if not journaled:
                os.rmdir(journal)
                os.rename(journal + ".kept", journal)
        per_save.append((counts[1] - counts[0]) / float(many - few))
    print("field save, instructions (callgrind, %d saves less %d): %.0f journaled, %.0f with no "
          "journal (%+.1f%%)" % (many, few, per_save[0], per_save[1],
                                 100.0 * (per_save[0] / per_save[1] - 1)))


def bench_startup(build, game, runs=10):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        term = Pty([os.path.join(build, "zorvan32")], game)
        try:
            term.wait_for(LOCAL_MAIN)
            times.append((time.perf_counter() - start) * 1000.0)
        finally:
            term.close()
    print("start-up to the first main screen (pty, %d runs): median %.1f ms, max %.1f ms"
          % (runs, statistics.median(times), max(times)))


def bench_search(build, sample, players=256, runs=5):
    """Over the telnet door: its stream is the whole text, where the terminal gets only changes."""
    game = scratch_game(sample, players)
    times = []
    try:
        for _ in range(runs):
            door = Door(os.path.join(build, "zorvan32"), game)
            try:
                door.read_until(lambda: LOCAL_MAIN.search(door.out))
                door.caller.sendall(b"Y")
                door.read_until(lambda: b"partial name" in door.out)
                door.drain(0.1)
                mark = len(door.out)
                start = time.perf_counter()
                door.caller.sendall(b"qqqqzzzz\r")  # no such name: every record is read
                door.read_until(lambda: b"No match found" in door.out[mark:])
                times.append((time.perf_counter() - start) * 1000.0)
            finally:
                door.close()
    finally:
        shutil.rmtree(game, ignore_errors=True)
    print("search through %d players, no match (telnet door, %d runs): median %.1f ms"
          % (players, runs, statistics.median(times)))


class WebConsole:
    """zorvan32 serve on a free port, with a session as the page has it (cookie, CSRF token)."""

    def __init__(self, build, game):
        self.proc = subprocess.Popen([os.path.join(build, "zorvan32"), "serve", "--listen",
                                      "127.0.0.1:0"], cwd=game, stdout=subprocess.PIPE)
        self.url = self.proc.stdout.readline().decode().strip()
        split = urllib.parse.urlsplit(self.url)
        self.origin = "http://%s" % split.netloc
        self.http = http.client.HTTPConnection(split.hostname, split.port, timeout=30)
        status, headers, body = self.call("GET", "/api/session?" + split.query)
        self.cookie = headers["Set-Cookie"].split(";")[0]
        self.csrf = json.loads(body)["csrf"]

    def call(self, method, path, body=None):
        headers = {"Cookie": getattr(self, "cookie", ""), "Origin": self.origin,
                   "X-CSRF-Token": getattr(self, "csrf", ""), "Content-Type": "application/json"}
        self.http.request(method, path, body=body, headers=headers)
        answer = self.http.getresponse()
        return answer.status, answer.headers, answer.read()

    def close(self):
        self.http.close()
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=30)


def timed_call(web, method, path, body=None):
    start = time.perf_counter()
    status = web.call(method, path, body)[0]
    took = (time.perf_counter() - start) * 1000.0
    assert status == 200, "%s %s: HTTP %d" % (method, path, status)
    return took


def bench_web_api(web, players, runs=30):
    calls = [("GET", "/api/players", None), ("GET", "/api/players/7", None),
             ("GET", "/api/check", None), ("GET", "/api/log", None)]
    for method, path, body in calls:
        times = [timed_call(web, method, path, body) for _ in range(runs)]
        print("web API %s %s, %d players (%d calls): median %.2f ms"
              % (method, path, players, runs, statistics.median(times)))
    sets = [timed_call(web, "POST", "/api/players/7", json.dumps({"gold": str(1000 + i)}))
            for i in range(runs)]
    print("web API POST /api/players/7, %d players (%d calls): median %.2f ms"
          % (players, runs, statistics.median(sets)))
    log = json.loads(web.call("GET", "/api/log")[2])
    ops = sorted({line["op"] for line in log if line["operation"] == "set"}, reverse=True)
    undos = [timed_call(web, "POST", "/api/undo/%d" % op, "{}") for op in ops[:runs]]
    print("web API POST /api/undo/N, %d players (%d calls): median %.2f ms"
          % (players, len(undos), statistics.median(undos)))


# From the journal view to the players page: its answer fetched, 256 rows built and painted.
DRAW_PLAYERS = """
const done = arguments[arguments.length - 1];
const start = performance.now();
const seen = new MutationObserver(() => {
  if (document.body.dataset.ready !== "players") return;
  seen.disconnect();
  requestAnimationFrame(() => done(performance.now() - start));
});
seen.observe(document.body, {attributes: true});
location.hash = "#players";
"""


def bench_web_page(web, players, runs=10):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        print("players page drawn in the browser: not measured (python3-selenium missing)")
        return
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1024,768"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    times = []
    try:
        driver.get(web.url)
        WebDriverWait(driver, 30).until(
            lambda d: d.execute_script("return document.body.dataset.ready") == "players")
        for _ in range(runs):
            driver.execute_script("document.body.dataset.ready = ''; location.hash = '#log'")
            WebDriverWait(driver, 30).until(
                lambda d: d.execute_script("return document.body.dataset.ready") == "log")
            times.append(driver.execute_async_script(DRAW_PLAYERS))
    finally:
        driver.quit()
    print("players page drawn in headless chromium, %d players (%d runs): median %.1f ms"
          % (players, runs, statistics.median(times)))


def bench_web(build, sample, idle, players=256):
    game = scratch_game(sample, players)
    web = WebConsole(build, game)
    try:
        bench_web_api(web, players)
        bench_web_page(web, players)
        web.http.close()
        time.sleep(3.0)  # past the keep-alive time of the last connections
        start = cpu_ns(web.proc.pid)
        time.sleep(idle)
        print("idle CPU, web console after its last request, over %.0f s: %d ns in all threads"
              % (idle, cpu_ns(web.proc.pid) - start))
    finally:
        web.close()
        shutil.rmtree(game, ignore_errors=True)


def main():
    build, sample = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
    print("machine: %s, %d CPUs, %s" % (os.uname().machine, os.cpu_count(), platform_name()))
    game = scratch_game(sample)
    try:
        bench_idle(build, game, seconds)
        bench_latency(build, game)
        bench_screen_to_caller(build, game)
        bench_sends(build, game)
        bench_local_redraw(build, game)
        bench_startup(build, game)
        bench_journal(build, game)
    finally:
        shutil.rmtree(game, ignore_errors=True)
    bench_search(build, sample)
    bench_web(build, sample, max(seconds, 30.0))


def platform_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return os.uname().sysname


if __name__ == "__main__":
    main()
