#!/usr/bin/env python3
"""The journal and undo: each operation made by keys is journaled per field, agreeing with the
record's bytes, and undone byte for byte; a node's later change is left and named.
  journal_test.py ZORVAN32 SAMPLE_GAME"""
import os
import shutil
import subprocess
import sys

from blackbox import (FIELD, MAIN, decode, field, open_on, pack, players, poke, records, run,
                      scratch_game, wait_until)

GAME_FILES = ("PLAYER.DAT", "MARRAGE.DAT", "MARBARD.DAT")


def snapshot(game):
    return {name: open(os.path.join(game, name), "rb").read()
            if os.path.exists(os.path.join(game, name)) else None for name in GAME_FILES}


def journal(game):
    path = os.path.join(game, "ZORVAN32.LOG")
    if not os.path.exists(path):
        return []
    return [line.split("\t") for line in open(path, "rb").read().decode().split("\n")[:-1]]


def check_lines(lines, before, after, kind):
    """The operation's lines against the records before and after it."""
    assert lines and all(line[4] == kind for line in lines), (kind, lines)
    assert len({line[3] for line in lines}) == 1, "one operation number: %s" % lines
    old, new = records(before), records(after)
    changed = {n for n in range(len(new)) if old[n] != new[n]}
    assert {int(line[5]) for line in lines if line[7] == "record"} == changed, (changed, lines)
    for line in lines:
        if line[7] == "record":
            n = int(line[5])
            assert (bytes.fromhex(line[8]), bytes.fromhex(line[9])) == (old[n], new[n]), line[:8]
        elif line[7] in FIELD:
            n = int(line[5])
            assert (line[8], line[9]) == (str(decode(old[n], line[7])),
                                          str(decode(new[n], line[7]))), line


def undo(editor, game, *args):
    code, out, err = run(editor, game, "undo", *args)
    return code, out + err


# Each operation: the account, the keys, the journal's word for it.
OPERATIONS = [
    (0, ["M", "123\r"], "field-edit"),
    (5, ["$", "A", "Q"], "repair"),
    (5, ["*", "15\r", "3\r"], "new-day"),
    (6, ["#", "Y", "2\r"], "clean-slate"),
    (6, ["X", "Y"], "deletion"),
    (0, ["Z", "-1\r", "Y"], "divorce"),
    (2, ["Z", "-1\r", "Y", "Y"], "divorce"),  # from Quenna: MARRAGE.DAT goes
]


def each_operation_is_journaled_and_undone(editor, sample):
    for account, keys, kind in OPERATIONS:
        with scratch_game(sample) as game:
            term = open_on(editor, game, account)
            start = snapshot(game)
            for key in keys:
                term.send(key)
                term.pump(0.3)
            wait_until(lambda: journal(game), term.pump, lambda: "no journal for " + kind)
            term.wait_for(MAIN % account)
            term.done()
            lines, after = journal(game), snapshot(game)
            check_lines(lines, start["PLAYER.DAT"], after["PLAYER.DAT"], kind)
            files = [line for line in lines if line[7].endswith("-bytes")]
            for line in files:
                name = line[7][:-len("-bytes")]
                assert line[8] == (start[name].hex().upper() if start[name] else "none"), line
            code, said = undo(editor, game)
            assert code == 0 and "undo of operation 1 (%s" % kind in said, (kind, code, said)
            assert snapshot(game) == start, "%s not put back byte for byte:\n%s" % (kind, said)
            if kind == "divorce" and account == 2:
                assert "notices already sent stay sent: LOGNOW.TXT mail2.dat" in said, said
            # Undoing the undo redoes; a plain undo then takes the operation back again, and after
            # that there is nothing left to undo.
            code, said = undo(editor, game, "2")
            assert code == 0 and snapshot(game) == after, said
            assert undo(editor, game)[0] == 0 and snapshot(game) == start
            assert undo(editor, game) == (1, "nothing to undo\n")


def a_node_change_is_left_and_named(editor, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 0)
        term.send("Z")
        term.wait_for("Enter Player #")
        term.send("-1\r")
        term.wait_for("Divorce Players Now?")
        term.send("Y")
        wait_until(lambda: journal(game), term.pump, lambda: "no journal")
        term.done()
        # A wedding of 1 and 6 since, or a new sign-up in slot 1: the pair stays as it is now.
        divorced = players(game)
        for pokes, why in ((((1, "married_to", 6), (6, "married_to", 1)), "(now 6), left whole"),
                           (((1, "name", b"Newcomer"),), "now Newcomer (Maya Thornbury)")):
            for n, name, value in pokes:
                poke(game, n, name, value)
            changed = players(game)
            code, said = undo(editor, game)
            assert code == 1 and why in said and players(game) == changed, said
            open(os.path.join(game, "PLAYER.DAT"), "wb").write(divorced)
        poke(game, 1, "charm", 777)  # a node's change meanwhile
        code, said = undo(editor, game)
        assert code == 0, said
        assert "player 1 Sellith charm: changed since (now 777), left as it is" in said, said
        assert "player 1 Sellith married_to: -1 -> 0" in said, said
        assert (field(game, 1, "charm"), field(game, 1, "married_to")) == (777, 0)
        assert field(game, 0, "married_to") == 1
        out = run(editor, game, "log", "--player", "1")[1].splitlines()
        assert out and all(line.split("\t")[5] == "1" for line in out), out
        assert out[0].split("\t")[4] == "undo-1", "newest first: %s" % out[0]


# Forged operations on Mirelle: kind, field, the value the bytes before hold, the old column's
# words when they are not the bytes', and why undo refuses it.
FORGED = [
    ("set", "gold", -999999, "720", "text columns disagree"),
    ("set", "gold", -999999, None, "gold -999999 is outside its editor's range"),
    ("set", "name", b"Mi\x1b[2J\x07", "Mi\\x1B[2J\\x07", "holds a control character"),
    ("set", "time_on", 9, None, "time_on is the game's own"),
    ("set", "married_to", 250, None, "not from a marriage or divorce"),
    ("divorce", "married_to", 250, None, "married_to: not a whole pair"),
]


def forged_operations_are_refused(editor, sample):
    with scratch_game(sample) as game:
        start = players(game)
        after = records(start)[3]
        for op, (kind, name, value, words, why) in enumerate(FORGED, 1):
            before = bytearray(after)
            before[FIELD[name][0]:FIELD[name][0] + len(pack(name, value))] = pack(name, value)
            head = "2024-05-01 10:00:00.000\tlocal\tsysop\x1b[5m\t%d\t%s\t3\tMirelle\t" % (op, kind)
            with open(os.path.join(game, "ZORVAN32.LOG"), "a") as log:
                log.write(head + "%s\t%s\t%s\n" % (name, words or decode(before, name),
                                                 decode(after, name)))
                log.write(head + "record\t%s\t%s\n" % (before.hex().upper(), after.hex().upper()))
            code, said = undo(editor, game, str(op))  # run: no control byte reaches the terminal
            assert code == 2 and why in said and players(game) == start, said
        assert run(editor, game, "log")[0] == 0


def unwritable_journal_stops_commands_not_the_editor(editor, sample):
    with scratch_game(sample) as game:
        os.mkdir(os.path.join(game, "ZORVAN32.LOG"))  # even root cannot append to a directory
        term = open_on(editor, game, 0)
        for gold in (111, 222):
            term.send("M")
            term.wait_for("Enter Gold in Hand")
            term.send("%d\r" % gold)
            term.wait_gone("Enter Gold in Hand")
            assert field(game, 0, "gold") == gold
            if gold == 111:
                term.wait_for("cannot be written!  Changes are not journaled.")
        term.send("]")
        term.wait_for(MAIN % 1)
        assert "not journaled" not in term.text()  # told once only
        term.done()
        # set and undo make no change they cannot journal: a directory, a file-size limit.
        log = os.path.join(game, "ZORVAN32.LOG")
        code, _, err = run(editor, game, "set", "0", "gold=5")
        assert code == 2 and "ZORVAN32.LOG cannot be written" in err, (code, err)
        os.rmdir(log)
        assert run(editor, game, "set", "0", "gold=5")[0] == 0

        def limited(room, *args):  # less memory than the journal; a file-size limit
            script = 'ulimit -v 32000; ulimit -f %d; exec "$0" "$@"'
            blocks = (os.path.getsize(log) + room) // 512
            return run("/bin/sh", game, "-c", script % blocks, editor, *args)

        # A crash's NUL-filled tail, longer than a line may be: numbers go on, on a fresh line.
        os.truncate(log, os.path.getsize(log) + (64 << 20))
        size = os.path.getsize(log)
        code, _, err = limited(512, "set", "0", "gold=6")
        assert (code, field(game, 0, "gold"), os.path.getsize(log)) == (2, 5, size), err
        assert limited(1 << 20, "set", "0", "gold=7")[0] == 0
        with open(log, "rb") as f:
            f.seek(-4096, os.SEEK_END)
            tail = [line.split(b"\t") for line in f.read().split(b"\n")[-3:-1]]
        assert [(len(line), line[3]) for line in tail] == [(10, b"2")] * 2, tail
        size = os.path.getsize(log)
        code, _, err = limited(512, "undo")
        assert (code, field(game, 0, "gold"), os.path.getsize(log)) == (2, 7, size), err
        assert "ZORVAN32.LOG could not be written" in err, err
        code, out, _ = limited(1 << 20, "log")
        assert code == 0 and [line.split("\t")[3] for line in out.splitlines()] == ["2", "1"]
        code, out, _ = limited(1 << 20, "undo")
        assert code == 0 and "gold: 7 -> 5" in out and field(game, 0, "gold") == 5, out


def writers_and_undos_leave_whole_lines(editor, sample):
    with scratch_game(sample) as game:
        terms = [open_on(editor, game, n) for n in (0, 1)]
        for round_ in range(15):
            for n, term in enumerate(terms):
                term.send("M")
                term.send("%d\r" % (1000 * round_ + n))
            undo(editor, game)
            for term in terms:
                term.wait_gone("Enter Gold in Hand")
        for term in terms:
            term.done()
        data = open(os.path.join(game, "ZORVAN32.LOG"), "rb").read()
        assert data.endswith(b"\n")
        ops = set()
        for line in data.split(b"\n")[:-1]:
            parts = line.decode().split("\t")
            assert len(parts) == 10 and parts[3].isdigit(), line
            ops.add(int(parts[3]))
        assert ops == set(range(1, max(ops) + 1)), "operation numbers not one each: %s" % ops


def every_file(game):
    return {name: open(os.path.join(game, name), "rb").read() for name in os.listdir(game)
            if name not in ("ZORVAN32.CFG", "ZORVAN32.LOG", "ZORVAN32.RBK")}


def last_operation(game):
    return journal(game)[-1][4] if journal(game) else None


def crash_at_every_write(editor, sample):
    """Killed at each write of an operation in turn, the next start leaves every file as before
    the operation or as after it, never between, and the journal's last operation says which."""
    if not shutil.which("strace"):
        print("crash test skipped: strace is not installed")
        return

    def by_keys(account, keys):
        def operation(game, wrap, kind):
            term = open_on(editor, game, account, wrap)
            for key in keys:
                term.send(key)
                term.pump(0.3)
            wait_until(lambda: last_operation(game) == kind or not term.child.isalive(),
                       term.pump, lambda: kind)
            if term.child.isalive():
                term.done()
            return last_operation(game) == kind
        return operation

    def undo_of_divorce(game, wrap, kind):
        return subprocess.run(wrap + [editor, "undo"], cwd=game, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0

    with scratch_game(sample) as divorced:
        by_keys(0, ["Z", "-1\r", "Y"])(divorced, [], "divorce")
        cases = [(sample, "divorce", by_keys(0, ["Z", "-1\r", "Y"])),
                 (sample, "clean-slate", by_keys(6, ["#", "Y", "2\r"])),
                 (divorced, "undo-1", undo_of_divorce)]
        for base, kind, operation in cases:
            states = []
            for call in ("pwrite64", "write"):  # records and the rollback file; notices, journal
                for n in range(1, 100):
                    with scratch_game(base) as game:
                        before = every_file(game)
                        paths = [os.path.join(game, name) for name in
                                 ("PLAYER.DAT", "ZORVAN32.RBK", "ZORVAN32.LOG", "LOGNOW.TXT",
                                  "mail0.dat", "mail1.dat", "MAIL6.DAT")]
                        wrap = ["strace", "-f", "-qq", "-o", os.devnull, "-e",
                                "inject=%s:signal=SIGKILL:when=%d" % (call, n)]
                        if operation(game, wrap + sum((["-P", p] for p in paths), []), kind):
                            after = every_file(game)
                            break
                        code, _, err = run(editor, game, "check")
                        assert not os.path.exists(paths[1]) or not os.path.getsize(paths[1])
                        states.append((call, n, every_file(game), last_operation(game), err))
                        if last_operation(game) == "rollback":  # half an operation: not undone
                            assert "(rollback" not in run(editor, game, "undo")[1], (kind, n)
            assert len(states) > 4, "%s: too few writes killed" % kind
            for call, n, state, said, err in states:
                assert state in (before, after), "%s killed at %s %d: between" % (kind, call, n)
                assert (state == after) == (said == kind), (kind, call, n, said)
                assert (said == "rollback") == ("rolled back" in err), (kind, call, n, err)


def main(editor, sample):
    each_operation_is_journaled_and_undone(editor, sample)
    a_node_change_is_left_and_named(editor, sample)
    forged_operations_are_refused(editor, sample)
    unwritable_journal_stops_commands_not_the_editor(editor, sample)
    writers_and_undos_leave_whole_lines(editor, sample)
    crash_at_every_write(editor, sample)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
    print("journal and undo: passed")
