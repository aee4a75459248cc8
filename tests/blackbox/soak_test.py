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
import shutil
import subprocess
import sys
import tempfile
import time

from blackbox import Terminal, scratch_game

MAIL_SEPARATOR = b"`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-"
NEWS_SEPARATOR = b"                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= "
ENTRY_MARK = re.compile(rb"  `7Soak entry A(\d+)-(\d+)$")
CHARACTER_FILES = ("MARRAGE.DAT", "MARBARD.DAT")
OPERATIONS = {"field-edit", "repair", "new-day", "clean-slate", "deletion", "marriage", "divorce",
              "double-marriage-repair"}
TIME = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}$")


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
           ("Player Search", "search"), ("Enter VARN Name", "text"), ("REAL name", "text"),
           ("Weapon Name", "text"), ("Armour Name", "text"), ("Old value", "number")]


def waiting_at(term):
    rows, y = term.screen.display, term.screen.cursor.y
    for row in range(y, max(y - 3, -1), -1):
        for text, state in PROMPTS:
            if text in rows[row]:
                return state
    if rows[y].startswith("    >"):
        return "number"
    return "extended" if "EXTENDED INFO" in rows[0] else "main"


class Keys:
    """Random keys: whole runs of a command from the main screen, answers elsewhere."""

    def __init__(self, rng):
        self.rng = rng
        self.macros = [(30, "number edit", self.number_edit), (8, "text edit", self.text_edit),
                       (14, "toggle", self.toggle), (10, "move", self.move),
                       (5, "repair", lambda: b"$AQ"), (4, "extended edit", self.extended),
                       (4, "new day", self.new_day), (3, "clean slate", self.clean_slate),
                       (2, "deletion", self.deletion), (3, "search", self.search),
                       (9, "marriage", self.marriage), (3, "random bytes", self.noise),
                       (0.5, "quit", lambda: b"Q")]

    def number(self):
        r = self.rng
        return r.choice([str(r.randrange(0, 100)), str(r.randrange(0, 32001)),
                         str(r.randrange(0, 2_000_000_001)), str(-r.randrange(1, 500)),
                         "99999999999", "x1"]).encode()

    def word(self):
        r = self.rng
        syllables = (r.choice("bcdfghklmnprstvz") + r.choice("aeiou")
                     for _ in range(r.randrange(1, 4)))
        return (r.choice(["", "", "", "`2", "`$"]) + "".join(syllables).capitalize()).encode()

    def finish(self):
        return b"\x1b" if self.rng.random() < 0.1 else b"\r"  # Esc backs out: nothing is saved

    def number_edit(self):
        return bytes([self.rng.choice(b"2456890CEGILMO")]) + self.number() + self.finish()

    def text_edit(self):
        key = self.rng.choice([b"1", b"3", b"7", b"K"])
        text = self.word() + (b" " + self.word() if key != b"3" else b"")
        return key + text + self.finish()

    def toggle(self):
        return bytes([self.rng.choice(b"ABDFHJNP@")])

    def move(self):
        return self.rng.choice([b"]", b"[", b"]]", b"[[", b"]]]"])

    def extended(self):
        r = self.rng
        edit = r.choice([b"2", b"4", b"5", b"6", b"B", b"C", b"D", b"E", b"F", b"G"])
        return b"$" + r.choice([edit + self.number() + b"\r", b"9", b"*", b"1", b"3", b"7",
                                b"8"]) + b"Q"

    def new_day(self):
        return b"*" + self.number() + b"\r" + self.number() + b"\r"

    def clean_slate(self):
        return self.rng.choice([b"#Y1\r", b"#Y2\r", b"#Y0\r", b"#N"])

    def deletion(self):
        return self.rng.choice([b"XY", b"XY", b"XN"])

    def search(self):
        return b"Y" + self.rng.choice([b"a", b"e", b"x", b"ar", b"o", b"zz"]) + b"\r"

    def spouse(self):
        r = self.rng
        return r.choice([b"-1", b"-1", b"-2", b"-2", str(r.randrange(0, 8)).encode(),
                         str(r.randrange(0, 8)).encode(), b"99"]) + b"\r"

    def marriage(self):
        return b"Z" + self.spouse()

    def noise(self):
        return bytes(self.rng.randrange(256) for _ in range(self.rng.randrange(1, 9)))

    def main_screen(self):
        weights = [w for w, _, _ in self.macros]
        _, label, build = self.rng.choices(self.macros, weights)[0]
        return label, build()

    def answer(self, state):
        """Keys for a prompt that a run of keys left open (or that a command asks next)."""
        r = self.rng
        return {"yes/no": lambda: b"Y" if r.random() < 0.8 else b"N",
                "extended": lambda: b"Q" if r.random() < 0.7 else self.extended()[1:-1],
                "reset type": lambda: r.choice([b"1\r", b"2\r", b"0\r"]),
                "spouse": self.spouse,
                "both": lambda: bytes([r.choice(b"0123")]) + b"\r",
                "search": lambda: self.search()[1:],
                "text": lambda: self.word() + self.finish(),
                "number": lambda: self.number() + self.finish()}[state]()


class Editor:
    """One editor in its own pseudo-terminal, keyed whenever it waits for a key; started again
    when it ends."""

    def __init__(self, number, program, game, rng, problems):
        self.number, self.program, self.game = number, program, game
        self.keys = Keys(rng)
        self.problems = problems
        self.sent = collections.Counter()
        self.starts = 0
        self.unjournaled = False
        self.start()

    def start(self):
        self.term = Terminal([self.program], self.game)
        self.term.child.delaybeforesend = None  # pexpect's default pause before each send
        self.starts += 1
        self.last_send = time.monotonic()
        self.idle_since = None

    def fd(self):
        return self.term.child.child_fd

    def drain(self):
        """Reads what is there; False at the end of the program."""
        while True:
            got = self.term.pump(0)
            if got is None:
                return False
            if not got:
                return True

    def ended(self):
        code = self.term.finish()
        if code != 0:
            self.problems["run"].append("editor %d ended with exit code %s; its screen:\n%s"
                                        % (self.number, code, self.term.text()))
        return code

    def waiting(self):
        """The prompt it waits at once it has sat in its key wait for a moment, else None."""
        now = time.monotonic()
        if now - self.last_send < 0.008 or not awaits_key(self.term.child.pid):
            self.idle_since = None
            return None
        if self.idle_since is None:
            self.idle_since = now
            return None
        if now - self.idle_since < 0.003 or not self.drain():
            return None
        return waiting_at(self.term)

    def send(self, keys):
        self.term.send(keys)
        self.last_send = time.monotonic()
        self.idle_since = None

    def step(self):
        if not self.drain():
            self.ended()
            self.sent["restart"] += 1
            self.start()
            return
        state = self.waiting()
        if state == "main":
            label, keys = self.keys.main_screen()
            self.sent[label] += 1
        elif state is not None:
            keys = self.keys.answer(state)
            self.sent["answer"] += 1
        else:
            return
        if not self.unjournaled and any("Changes are not journaled" in self.term.row(row)
                                        for row in (22, 23)):
            self.unjournaled = True
            self.problems["a"].append("editor %d could not journal:\n%s"
                                      % (self.number, self.term.text()))
        self.send(keys)

    def quit(self, seconds=60):
        """Back to the main screen and out; the exit code."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if not self.drain():
                return self.ended()
            state = self.waiting()
            if state is not None:
                self.send(b"Q" if state in ("main", "extended") else
                          b"N" if state == "yes/no" else b"\x1b")
            select.select([self.fd()], [], [], 0.005)
        self.term.child.terminate(force=True)
        self.problems["run"].append("editor %d did not quit:\n%s" % (self.number, self.term.text()))
        return None


# ---- What the writers logged, and the game's files at the end

def dump(writers, game, problems):
    """Every record's fields as the journal writes them: {(n, field): text}; and the count."""
    out = subprocess.run([writers, "dump", game + "/"], stdout=subprocess.PIPE, check=True).stdout
    fields, count = {}, 0
    for line in out.decode().splitlines():
        parts = line.split("\t", 2)
        if parts[0] == "records":
            count = int(parts[1])
            if parts[2] != "0":
                problems["a"].append("PLAYER.DAT ends in %s bytes of a record" % parts[2])
        else:
            fields[int(parts[0]), parts[1]] = parts[2]
    return fields, count


def journal_text(cp437):
    """CP437 bytes as the journal writes them."""
    return "".join("\\x%02X" % b if b < 0x20 or b in (0x7F, 0x5C) else bytes([b]).decode("cp437")
                   for b in cp437)


def character_value(game):
    """The spouse number in each character's file as the journal writes it, or "none"."""
    values = {}
    for name in CHARACTER_FILES:
        path = os.path.join(game, name)
        values[name] = (journal_text(re.split(rb"[\r\n]", open(path, "rb").read())[0])
                        if os.path.exists(path) else "none")
    return values


def read_journal(path, problems):
    """ZORVAN32.LOG's lines, each whole and well formed; an operation's lines together, numbered
    above the operation's before."""
    data = open(path, "rb").read() if os.path.exists(path) else b""
    if data and not data.endswith(b"\n"):
        problems["journal"].append("ZORVAN32.LOG ends in part of a line")
    lines, last_op = [], 0
    for number, raw in enumerate(data.split(b"\n")[:-1], 1):
        parts = raw.decode("utf-8", "replace").split("\t")
        if len(parts) != 10 or not TIME.match(parts[0]) or not parts[3].isdigit() or \
                (parts[4] not in OPERATIONS and parts[4] != "node"):
            problems["journal"].append("line %d is not a journal line: %r" % (number, raw))
            continue
        line = dict(zip(("time", "node", "who", "op", "operation", "player", "name", "field",
                         "old", "new"), parts), number=number)
        op = int(line["op"])
        if op < last_op:
            problems["journal"].append("line %d: operation %d after %d" % (number, op, last_op))
        last_op = op
        lines.append(line)
    return lines


def replay(lines, start_fields, start_characters, problems):
    """The journal played over the start: the fields and character files it says should be on
    disk; every old value checked against what the lines before it left."""
    state = dict(start_fields)
    files = dict(start_characters)
    notices = collections.Counter()
    for line in lines:
        field, old, new = line["field"], line["old"], line["new"]
        where = "journal line %d (%s, %s)" % (line["number"], line["operation"], line["who"])
        if field == "record" or field.endswith("-bytes"):
            continue  # the exact bytes for undo; the field lines carry the values
        if field == "notice":
            notices[old.upper(), new] += 1
        elif field in CHARACTER_FILES:
            if files[field] != old:
                problems["a"].append("%s: %s was %s, not %s" % (where, field, files[field], old))
            files[field] = new
        elif line["player"].isdigit() and (int(line["player"]), field) in state:
            key = int(line["player"]), field
            if field == "time_on" and line["operation"] != "node":
                problems["a"].append("%s: record %d time_on, which only the nodes change, written "
                                     "by an editor: a save of a stale copy" % (where, key[0]))
            if state[key] != old:
                kind = "c" if field == "reserved" else "a"
                problems[kind].append("%s: record %d %s was %r, not %r as written there (a write "
                                      "missing from the journal, or from a stale copy)"
                                      % (where, key[0], field, state[key], old))
            state[key] = new
        else:
            problems["journal"].append("%s names no field of a record: %r" % (where, line))
    return state, files, notices


def append_start(start):
    """Where the first append to a file holding start begins: over its Ctrl-Z in the last block."""
    mark = start.find(b"\x1a", max(0, len(start) - 128))
    return len(start) if mark < 0 else mark


def read_appender_logs(logs):
    """{FILE: {(appender, seq): (bytes, ends in Ctrl-Z)}} from the appenders' logs."""
    entries = collections.defaultdict(dict)
    for appender, log in logs:
        for raw in open(log, "rb").read().split(b"\n")[:-1]:
            name, seq, ctrl_z, *lines = raw.split(b"\t")
            entries[name.decode().upper()][appender, int(seq)] = (
                b"".join(line + b"\r\n" for line in lines), ctrl_z == b"1")
    return entries


def check_text_file(name, start, data, entries, notices, problems):
    """One mail or news file: its start kept, then nothing but whole logged entries."""
    say = lambda what: problems["b"].append("%s: %s" % (name, what))
    if not entries and not notices:
        if data != start:
            say("changed, but nobody logged an append to it")
        return 0
    prefix = start[:append_start(start)]
    if not data.startswith(prefix):
        say("its text from before the soak was changed")
        return 0
    rest = data[len(prefix):]
    mark = rest.find(b"\x1a")
    if mark >= 0 and mark != len(rest) - 1:
        say("a Ctrl-Z at byte %d, before %d more bytes: readers stop there"
            % (len(prefix) + mark, len(rest) - mark - 1))
    ends_marked = mark >= 0
    rest = rest[:mark] if mark >= 0 else rest
    seen, notices_seen, pos, last = collections.Counter(), collections.Counter(), 0, None

    def line_at(at):
        end = rest.find(b"\r\n", at)
        return (rest[at:], len(rest)) if end < 0 else (rest[at:end], end + 2)

    while pos < len(rest):
        line, after = line_at(pos)
        mark_line = ENTRY_MARK.match(line)
        if mark_line:
            key = int(mark_line.group(1)), int(mark_line.group(2))
            entry = entries.get(key)
            if entry is None:
                say("entry A%d-%d at byte %d was never logged for this file" % (key + (pos,)))
            elif rest[pos:pos + len(entry[0])] != entry[0]:
                say("entry A%d-%d at byte %d is not whole" % (key + (pos,)))
            else:
                seen[key] += 1
                pos, last = pos + len(entry[0]), key
                continue
            pos = after
            continue
        start_of_notice = pos
        while line == b" " and after < len(rest):
            pos = after
            line, after = line_at(pos)
        text = journal_text(line)
        if notices_seen[text] >= notices.get(text, 0):
            say("text at byte %d that no writer logged: %r" % (start_of_notice, line))
            pos = after
            continue
        # Whole: its lines up to its separator (and, in mail, the line after it), nothing between.
        at, end = after, None
        while at < len(rest):
            body, next_at = line_at(at)
            if ENTRY_MARK.match(body):
                break
            if body == NEWS_SEPARATOR:
                end = next_at
                break
            if body == MAIL_SEPARATOR:
                closing, closing_end = line_at(next_at)
                end = closing_end if closing in (b" ", b"`2") else None
                break
            at = next_at
        if end is None:
            say("notice %r at byte %d is not whole" % (text, start_of_notice))
            pos = after
            continue
        notices_seen[text] += 1
        pos, last = end, None
    for key in entries:
        if seen[key] != 1:
            say("entry A%d-%d found %d times, appended once" % (key + (seen[key],)))
    for text, count in notices.items():
        if notices_seen[text] != count:
            say("notice %r found whole %d times, journaled %d" % (text, notices_seen[text], count))
    if ends_marked and (last is None or not entries[last][1]):
        say("ends in a Ctrl-Z that its last entry did not write")
    return sum(seen.values()) + sum(notices_seen.values())


# ---- The run

def start_writers(writers, game, logs, seconds, seed):
    """The nodes, the appenders and the watcher, each for the given seconds: [(name, process)]."""
    g, t = game + "/", str(seconds)
    runs = [("node %d" % n, [writers, "node", g, str(n), t, str(seed + n)]) for n in (1, 2)]
    runs += [("appender %d" % n, [writers, "append", g, str(n), t, str(seed + 10 + n),
                                  os.path.join(logs, "appender%d.log" % n)] + ["dos"] * (n == 2))
             for n in (1, 2)]
    runs.append(("watcher", [writers, "watch", g, t, os.path.join(logs, "watcher.log")]))
    return [(name, subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT))
            for name, argv in runs]


def drive(editors, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for editor in editors:
            editor.step()
        select.select([e.fd() for e in editors], [], [], 0.002)
    for editor in editors:
        editor.quit()
        print("editor %d: started %d times; sent %s" % (editor.number, editor.starts, ", ".join(
            "%s %d" % kv for kv in sorted(editor.sent.items()))))


def check_records(writers, game, lines, start, problems):
    """(a) and (c): the journal replayed over the start, against the files at the end."""
    start_fields, count, start_characters = start
    expected, files, notices = replay(lines, start_fields, start_characters, problems)
    final, final_count = dump(writers, game, problems)
    if final_count != count:
        problems["a"].append("PLAYER.DAT holds %d records, not %d" % (final_count, count))
    for key, value in sorted(final.items()):
        if key[1] == "reserved" and value == "torn":
            problems["c"].append("record %d is torn: its reserved bytes do not agree with its "
                                 "stamp" % key[0])
        elif expected.get(key) != value:
            problems["c" if key[1] == "reserved" else "a"].append(
                "record %d %s is %r on disk, but the last write journaled was %r"
                % (key[0], key[1], value, expected.get(key)))
    for name, value in character_value(game).items():
        if files[name] != value:
            problems["a"].append("%s holds %s, but the last write journaled was %s"
                                 % (name, value, files[name]))
    print("checked (a): %d journal lines replayed; %d fields of %d records and 2 marriage files "
          "compared with the last write" % (len(lines), len(final) - count, count))
    print("checked (c): %d records' reserved bytes against their stamps and the last stamp "
          "journaled" % count)
    return notices


def check_texts(game, start_texts, appender_logs, notices, problems):
    """(b): every logged entry and notice whole in its file, and nothing else appended."""
    entries = read_appender_logs(appender_logs)
    names = collections.defaultdict(list)
    for name in os.listdir(game):
        names[name.upper()].append(name)
    verified = 0
    wanted = set(start_texts) | set(entries) | {f for f, _ in notices}
    for upper in sorted(wanted):
        if len(names[upper]) > 1:
            problems["b"].append("two files for one name: %s" % names[upper])
        data = open(os.path.join(game, names[upper][0]), "rb").read() if names[upper] else b""
        verified += check_text_file(upper, start_texts.get(upper, b""), data,
                                    entries.get(upper, {}),
                                    {t: c for (f, t), c in notices.items() if f == upper},
                                    problems)
    print("checked (b): %d entries whole in %d mail and news files (%d logged by the appenders, "
          "%d editors' notices journaled)" % (verified, len(wanted),
                                              sum(len(e) for e in entries.values()),
                                              sum(notices.values())))


def check_watcher(watch_log, lines, start_characters, problems):
    """(d): what the watcher read in the characters' files: never empty, never unjournaled."""
    allowed = {name: {start_characters[name]} for name in CHARACTER_FILES}
    for line in lines:
        if line["field"] in CHARACTER_FILES:
            allowed[line["field"]] |= {line["old"], line["new"]}
    seen = [line.split("\t") for line in open(watch_log, encoding="utf-8").read().splitlines()]
    for name, value in seen:
        if value == "(empty)":
            problems["d"].append("%s was empty when the watcher opened it" % name)
        elif value not in allowed[name]:
            problems["d"].append("the watcher read %s in %s, which nobody journaled"
                                 % (value, name))
    print("checked (d): %d changes of the marriage files seen by the watcher" % len(seen))


def main(program, writers, sample, seconds):
    seconds = float(seconds)
    seed = int(os.environ.get("SOAK_SEED", time.time_ns() % 1_000_000))
    print("soak: %.0f s, seed %d (SOAK_SEED=%d repeats the run's keys)" % (seconds, seed, seed))
    problems = collections.defaultdict(list)
    logs = tempfile.mkdtemp(prefix="zorvan-soak-logs-")
    with scratch_game(sample) as game:
        subprocess.run([writers, "init", game + "/", str(seed)], check=True,
                       stdout=subprocess.DEVNULL)
        start = dump(writers, game, problems) + (character_value(game),)
        start_texts = {name.upper(): open(os.path.join(game, name), "rb").read()
                       for name in os.listdir(game)
                       if re.match(r"(MAIL\d+\.DAT|LOGNOW\.TXT)$", name, re.I)}
        procs = start_writers(writers, game, logs, seconds, seed)
        drive([Editor(n, program, game, random.Random(seed * 3 + n), problems) for n in (1, 2)],
              seconds)
        for name, proc in procs:
            print(proc.communicate(timeout=seconds + 120)[0].decode(errors="replace").strip())
            if proc.returncode != 0:
                problems["run"].append("%s ended with exit code %d" % (name, proc.returncode))

        lines = read_journal(os.path.join(game, "ZORVAN32.LOG"), problems)
        operations = collections.Counter(
            kind for kind, _ in {(l["operation"], l["op"]) for l in lines if l["who"] == "sysop"})
        print("journal: %d lines; the editors' operations: %s" % (
            len(lines), ", ".join("%s %d" % kv for kv in sorted(operations.items())) or "none"))
        notices = check_records(writers, game, lines, start, problems)
        check_texts(game, start_texts, [(n, os.path.join(logs, "appender%d.log" % n))
                                        for n in (1, 2)], notices, problems)
        check_watcher(os.path.join(logs, "watcher.log"), lines, start[2], problems)
        if problems:
            shutil.copytree(game, os.path.join(logs, "game"))
    report(problems)
    if problems:
        print("the logs and the game's files are kept in %s" % logs)
        return 1
    shutil.rmtree(logs)
    return 0


def report(problems):
    names = {"a": "(a) a field does not hold its last write", "b": "(b) mail and news entries",
             "c": "(c) torn records, or reserved bytes from a stale copy",
             "d": "(d) marriage files read empty, or holding what nobody journaled",
             "journal": "the journal's lines", "run": "the run itself"}
    for key in sorted(problems):
        found = problems[key]
        print("FAILED %s: %d violation(s)" % (names[key], len(found)))
        for what in found[:8]:
            print("  " + what.replace("\n", "\n    "))
    if not problems:
        print("soak: passed")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
