#!/usr/bin/env python3
"""Soak: editors under random keys, game nodes, DOS and plain appenders and a marriage-file watcher
all at once, then from what each logged: (a) every field holds its last journaled write and no
editor wrote time_on (a save of a stale copy); (b) every logged mail and news entry is in its file
once, whole, and nothing else; (c) no record is torn; (d) the watcher never read a marriage file
empty or holding what nobody journaled. The nodes journal while they hold PLAYER.DAT, so the
journal's order is the order of the writes.
  soak_test.py ZORVAN32 GAME_NODE SAMPLE_GAME SECONDS"""
import collections
import os
import random
import re
import select
import subprocess
import sys
import tempfile
import time

from blackbox import Terminal, journal_lines, scratch_game

A = "(a) a field does not hold its last write"
B = "(b) mail and news entries"
C = "(c) torn records, or reserved bytes from a stale copy"
D = "(d) marriage files read empty, or holding what nobody journaled"
JOURNAL = "the journal's lines"
RUN = "the run itself"

MAIL_SEPARATOR = b"`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-"
NEWS_SEPARATOR = b"                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= "
# A notice: its text after any blank lines, its lines, and its separator (in mail, and the line
# after it).
NOTICE = re.compile(rb"(?: \r\n)*([^\r\n]*)\r\n(?:[^\r\n]*\r\n)*?"
                    rb"(?:%s|%s\r\n(?: |`2))\r\n"
                    % (re.escape(NEWS_SEPARATOR), re.escape(MAIL_SEPARATOR)))
CHARACTER_FILES = ("MARRAGE.DAT", "MARBARD.DAT")
COLUMNS = ("time", "node", "who", "op", "operation", "player", "name", "field", "old", "new")


# ---- The editors under random keys

def awaits_key(pid):
    """Whether the editor sleeps in its key wait: poll on the wake pipe and the terminal, with no
    lone Esc being timed (that wait is at most 10 ms)."""
    try:
        call = open("/proc/%d/syscall" % pid).read().split()
    except OSError:
        return False
    return len(call) > 3 and call[0] == "7" and int(call[2], 16) == 2 and int(call[3], 16) > 10


# Where the editor waits, told by the prompt nearest above the cursor.
PROMPTS = [("Your command, master?", "extended"), ("Enter Y or N", "yes/no"),
           ("Enter Y to PROCEED", "yes/no"), ("Enter selection code now", "reset type"),
           ("Enter Player # to Marry", "spouse"), ("Selection code you want now", "both"),
           ("Enter VARN Name", "text"), ("REAL name", "text"), ("Weapon Name", "text"),
           ("Armour Name", "text"), ("Old value", "number")]


def waiting_at(term):
    rows, y = term.screen.display, term.screen.cursor.y
    for row in range(y, max(y - 3, -1), -1):
        for text, state in PROMPTS:
            if text in rows[row]:
                return state
    if rows[y].startswith("    >"):
        return "number"
    return "extended" if "EXTENDED INFO" in rows[0] else "main"


# Keys by template: "|" parts are alternatives, <..> one key of those, {n} a number, {w} a word,
# {f} Enter or now and then Esc (which backs out: nothing is saved), and {e}, {s} the templates
# of the extended screen's commands and of a spouse.
MACROS = [(30, "<2456890CEGILMO>{n}{f}"), (14, "<ABDFHJNP@>"), (8, "<17K>{w} {w}{f}|3{w}{f}"),
          (10, "]|[|]]|[[|]]]"), (5, "$AQ"), (4, "${e}Q"), (4, "*{n}\r{n}\r"),
          (3, "#Y1\r|#Y2\r|#Y0\r|#N"), (2, "XY|XY|XN"), (9, "Z{s}"), (0.5, "Q")]
ANSWERS = {"yes/no": "Y|Y|Y|Y|N", "extended": "Q|Q|{e}", "reset type": "1\r|2\r|0\r",
           "spouse": "{s}", "both": "<0123>\r", "text": "{w}{f}", "number": "{n}{f}",
           "e": "<2456BCDEFG>{n}\r|9|*|1|3|7|8", "s": "-1\r|-2\r|<01234567>\r|99\r"}
QUIT = {"main": b"Q", "extended": b"Q", "yes/no": b"N"}  # and Esc elsewhere


TOKENS = {
    "n": lambda r: r.choice([str(r.randrange(0, 100)), str(r.randrange(0, 32001)),
                             str(r.randrange(0, 2_000_000_001)), str(-r.randrange(1, 500)),
                             "99999999999", "x1"]).encode(),
    "w": lambda r: (r.choice(["", "", "", "`2", "`$"]) + "".join(
        r.choice("bcdfghklmnprstvz") + r.choice("aeiou") for _ in range(r.randrange(1, 4)))
        .capitalize()).encode(),
    "f": lambda r: b"\x1b" if r.random() < 0.1 else b"\r"}


def expand(rng, template):
    """Keys from a template of MACROS or ANSWERS."""
    def token(m):
        if m[2]:
            return bytes([rng.choice(m[2].encode())])
        return TOKENS[m[1]](rng) if m[1] in TOKENS else expand(rng, ANSWERS[m[1]])
    return re.sub(r"\{(\w)\}|<([^>]+)>", lambda m: token(m).decode("latin-1"),
                  rng.choice(template.split("|"))).encode("latin-1")


class Editor:
    """One editor in its own pseudo-terminal, keyed whenever it waits for a key: whole runs of a
    command from the main screen, answers elsewhere; started again when it ends, until it quits."""

    def __init__(self, number, program, game, rng, problems):
        self.number, self.program, self.game, self.rng = number, program, game, rng
        self.problems, self.quitting, self.done = problems, False, False
        self.start()

    def start(self):
        self.term = Terminal([self.program], self.game)
        self.term.child.delaybeforesend = None  # pexpect's default pause before each send
        self.last_send = time.monotonic()

    def drain(self):
        """Reads what is there; False at the end of the program."""
        while (got := self.term.pump(0)) is not None:
            if not got:
                return True
        return False

    def step(self):
        if not self.drain():
            code = self.term.finish()
            if code != 0:
                self.problems[RUN].append("editor %d ended with exit code %s; its screen:\n%s"
                                          % (self.number, code, self.term.text()))
            self.done = self.quitting
            return self.done or self.start()
        # Keys once it sits in its key wait, with all it drew read.
        if time.monotonic() - self.last_send < 0.008 or not awaits_key(self.term.child.pid) or \
                not self.drain():
            return
        state = waiting_at(self.term)
        if self.quitting:
            keys = QUIT.get(state, b"\x1b")
        elif state == "main":
            keys = expand(self.rng, self.rng.choices(MACROS, [w for w, _ in MACROS])[0][1])
        else:
            keys = expand(self.rng, ANSWERS[state])
        self.term.send(keys)
        self.last_send = time.monotonic()


# ---- What the writers logged, and the game's files at the end

def snapshot(writers, game):
    """{key: text} as the journal writes it: every record's fields, keyed ("record N", field); the
    count of records and the bytes past the last whole one; the characters' spouse numbers, keyed
    (file, "spouse"), "none" with no file."""
    out = subprocess.run([writers, "dump", game + "/"], stdout=subprocess.PIPE, check=True).stdout
    values = {}
    for n, name, value in (line.split("\t", 2) for line in out.decode().splitlines()):
        if n == "records":
            values.update({("PLAYER.DAT", "records"): name, ("PLAYER.DAT", "bytes past"): value})
        else:
            values["record " + n, name] = value
    for name in CHARACTER_FILES:
        path = os.path.join(game, name)
        values[name, "spouse"] = journal_text(re.split(rb"[\r\n]", open(path, "rb").read())[0]) \
            if os.path.exists(path) else "none"
    return values


def journal_text(cp437):
    """CP437 bytes as the journal writes them."""
    return "".join("\\x%02X" % b if b < 0x20 or b in (0x7F, 0x5C) else bytes([b]).decode("cp437")
                   for b in cp437)


def read_journal(game, problems):
    """The journal's lines; an operation's lines together, numbered above the operation's before."""
    lines = [dict(zip(COLUMNS, parts), number=n) for n, parts in enumerate(journal_lines(game), 1)]
    for before, line in zip(lines, lines[1:]):
        if int(line["op"]) < int(before["op"]):
            problems[JOURNAL].append("line %(number)d: operation %(op)s after a later one" % line)
    return lines


def check_records(writers, game, lines, start, problems):
    """(a) and (c): the journal played over the start, every old value checked against what the
    lines before it left, and the end against the files; gives the notices it journaled."""
    expected, notices = dict(start), collections.Counter()

    def differs(key, value, where):
        if expected.get(key) != value:
            problems[C if key[1] == "reserved" else A].append(
                "%s: %s %s is %r, the last write journaled %r"
                % ((where,) + key + (value, expected.get(key))))
    for line in lines:
        field, old, new = line["field"], line["old"], line["new"]
        where = "journal line %(number)d (%(operation)s, %(who)s)" % line
        key = (field, "spouse") if field in CHARACTER_FILES else ("record " + line["player"], field)
        if field == "notice":
            notices[old.upper(), new] += 1
        elif field != "record" and not field.endswith("-bytes"):  # those are the bytes for undo
            if field == "time_on" and line["operation"] != "node":
                problems[A].append("%s: %s %s written by an editor, from a stale copy"
                                   % ((where,) + key))
            # Not as the lines before left it: a write unjournaled, or from a stale copy.
            differs(key, old, where + ", its old value")
            expected[key] = new
    for key, value in sorted(snapshot(writers, game).items()):  # "torn": not as stamped
        differs(key, value, "on disk")
    return notices


def check_text_file(name, start, data, entries, notices, problems):
    """One mail or news file: its start kept up to its Ctrl-Z, then nothing but whole logged
    entries and journaled notices, each as often as written; a Ctrl-Z only at the very end (one
    elsewhere makes a piece that is neither)."""
    say = lambda what: problems[B].append("%s: %s" % (name, what))
    mark = start.find(b"\x1a", max(0, len(start) - 128))  # the first append goes over it
    prefix = start[:len(start) if mark < 0 else mark]
    if data == start and not entries and not notices:
        return
    if not data.startswith(prefix):
        return say("its text from before the soak was changed")
    rest = data[len(prefix):]
    for key, lines in entries.items():
        whole = b"".join(line + b"\r\n" for line in lines)
        if rest.count(whole) != 1:
            say("entry A%d-%d found whole %d times, written once" % (key + (rest.count(whole),)))
        rest = rest.replace(whole, b"\0")  # so that the halves of a torn notice cannot meet
    found = collections.Counter()
    for piece in rest.rstrip(b"\x1a").split(b"\0"):
        at = 0
        while at < len(piece) and (notice := NOTICE.match(piece, at)):
            found[journal_text(notice[1])] += 1
            at = notice.end()
        if at < len(piece):
            say("not a whole entry or notice: %r" % piece[at:at + 80])
    if found != notices:
        say("notices found whole %s, journaled %s" % (dict(found), dict(notices)))


def check_texts(game, start_texts, appender_logs, notices, problems):
    """(b): every logged entry and notice whole in its file, and nothing else appended; gives the
    count of entries logged."""
    entries = collections.defaultdict(dict)  # {FILE: {(appender, seq): lines}}
    for appender, log in enumerate(appender_logs, 1):
        for raw in open(log, "rb").read().split(b"\n")[:-1]:
            name, seq, _, *lines = raw.split(b"\t")
            entries[name.decode().upper()][appender, int(seq)] = lines
    names = {name.upper(): name for name in os.listdir(game)}  # a second spelling loses entries
    for upper in sorted(set(start_texts) | set(entries) | {f for f, _ in notices}):
        data = open(os.path.join(game, names[upper]), "rb").read() if upper in names else b""
        check_text_file(upper, start_texts.get(upper, b""), data, entries[upper],
                        {t: c for (f, t), c in notices.items() if f == upper}, problems)
    return sum(map(len, entries.values()))


def check_watcher(watch_log, lines, start, problems):
    """(d): what the watcher read in the characters' files: never empty, never unjournaled."""
    allowed = {(key[0], value) for key, value in start.items()} | {
        (l["field"], value) for l in lines for value in (l["old"], l["new"])}
    for line in open(watch_log, encoding="utf-8").read().splitlines():
        if tuple(line.split("\t")) not in allowed:
            problems[D].append("the watcher read %r, which nobody journaled" % line)


# ---- The run

def start_writers(writers, game, logs, seconds, seed):
    """The nodes, the appenders and the watcher, each for the given seconds."""
    g, t = game + "/", str(seconds)
    runs = [[writers, "node", g, str(n), t, str(seed + n)] for n in (1, 2)]
    runs += [[writers, "append", g, str(n), t, str(seed + 10 + n), logs[n - 1]] + ["dos"] * (n == 2)
             for n in (1, 2)]
    runs.append([writers, "watch", g, t, logs[2]])
    return [subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            for argv in runs]


def drive(editors, seconds):
    """Keys for the seconds, then back to the main screens and out."""
    deadline = time.monotonic() + seconds
    while not all(e.done for e in editors):
        for editor in (e for e in editors if not e.done):
            editor.quitting = time.monotonic() > deadline  # one that never quits meets the timeout
            editor.step()
        select.select([e.term.child.child_fd for e in editors if not e.done], [], [], 0.002)


def main(program, writers, sample, seconds):
    seconds, seed = float(seconds), int(os.environ.get("SOAK_SEED", time.time_ns() % 1_000_000))
    print("soak: %.0f s, seed %d (SOAK_SEED=%d repeats the run's keys)" % (seconds, seed, seed))
    problems = collections.defaultdict(list)
    with tempfile.TemporaryDirectory() as logs, scratch_game(sample) as game:
        log_paths = [os.path.join(logs, name) for name in ("appender1", "appender2", "watcher")]
        subprocess.run([writers, "init", game + "/", str(seed)], check=True,
                       stdout=subprocess.DEVNULL)
        start = snapshot(writers, game)
        start_texts = {name.upper(): open(os.path.join(game, name), "rb").read()
                       for name in os.listdir(game)
                       if re.match(r"(MAIL\d+\.DAT|LOGNOW\.TXT)$", name, re.I)}
        procs = start_writers(writers, game, log_paths, seconds, seed)
        drive([Editor(n, program, game, random.Random(seed * 3 + n), problems) for n in (1, 2)],
              seconds)
        for proc in procs:
            said = proc.communicate(timeout=seconds + 120)[0].decode(errors="replace").strip()
            print(said)
            if proc.returncode != 0:
                problems[RUN].append("%s: exit code %d" % (said or proc.args[1], proc.returncode))
        lines = read_journal(game, problems)
        operations = collections.Counter(o for o, _ in {(l["operation"], l["op"]) for l in lines
                                                        if l["who"] == "sysop"})
        notices = check_records(writers, game, lines, start, problems)
        entries = check_texts(game, start_texts, log_paths[:2], notices, problems)
        check_watcher(log_paths[2], lines, start, problems)
        print("checked %d journal lines, the editors' operations %s, %d appended entries"
              % (len(lines), dict(sorted(operations.items())), entries))
        if len(operations) < 3 or not entries:
            problems[RUN].append("too little was written to prove anything")
    for kind, found in sorted(problems.items()):
        print("FAILED %s: %d violation(s)\n  " % (kind, len(found))
              + "\n  ".join(what.replace("\n", "\n    ") for what in found[:8]))
    print("soak: failed" if problems else "soak: passed")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
