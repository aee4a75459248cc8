#!/usr/bin/env python3
"""The journal and undo: each operation made by keys is journaled per field, agreeing with the
record's bytes, and undone byte for byte; a node's later change is left and named; forged lines are
refused; a journal that cannot be written, or a crash at any write, leaves no change by halves.
  journal_test.py ZORVAN32 SAMPLE_GAME"""
import os
import pathlib
import shutil
import sys

from blackbox import (FIELD, MAIN, decode, field, file_bytes, journal_lines, open_on, pack,
                      players, poke, records, run, sanitized, scratch_game, wait_until)

GAME_FILES = ("PLAYER.DAT", "MARRAGE.DAT", "MARBARD.DAT")
OWN = ("ZORVAN32.CFG", "ZORVAN32.LOG", "ZORVAN32.RBK")  # the editor's own files
DIVORCE = ("Z", "-1\r", "Y")


def last_kind(game):
    lines = journal_lines(game)
    return lines[-1][4] if lines else None


def by_keys(editor, game, account, keys, kind, wrap=()):
    """The keys on the account's screen until an operation of the kind is journaled or the editor
    is gone; whether it was."""
    term = open_on(editor, game, account, wrap)
    for key in keys:
        term.send(key)
        term.pump(0.3)
    wait_until(lambda: last_kind(game) == kind or not term.child.isalive(), term.pump,
               lambda: "no journal for " + kind)
    if term.child.isalive():
        term.wait_for(MAIN % account)
        term.done()
    return last_kind(game) == kind


def undo(editor, game, *args):
    code, out, err = run(editor, game, "undo", *args)
    return code, out + err


# Each operation: the account, the keys, the journal's word for it, what else its undo says.
OPERATIONS = [
    (0, ("M", "123\r"), "field-edit", ""),
    (5, ("$", "A", "Q"), "repair", ""),
    (5, ("*", "15\r", "3\r"), "new-day", ""),
    (6, ("#", "Y", "2\r"), "clean-slate", ""),
    (6, ("X", "Y"), "deletion", ""),
    (0, DIVORCE, "divorce", ""),
    # From Quenna: MARRAGE.DAT goes, notices are sent.
    (2, DIVORCE + ("Y",), "divorce", "notices already sent stay sent: LOGNOW.TXT mail2.dat"),
]


def each_operation_is_journaled_and_undone(editor, sample):
    for account, keys, kind, words in OPERATIONS:
        with scratch_game(sample) as game:
            start = file_bytes(game, GAME_FILES)
            by_keys(editor, game, account, keys, kind)
            after = file_bytes(game, GAME_FILES)
            kept = file_bytes(game, skip=OWN), journal_lines(game)
            dry = undo(editor, game, "--dry-run")  # the same words, nothing written
            assert (file_bytes(game, skip=OWN), journal_lines(game)) == kept, kind
            code, said = undo(editor, game)
            assert (code, said) == dry and "undo of operation 1 (%s" % kind in said, (kind, said)
            assert file_bytes(game, GAME_FILES) == start, "%s not put back:\n%s" % (kind, said)
            assert words in said, said
            # Undoing the undo redoes; a plain undo takes it back again; then nothing is left.
            assert undo(editor, game, "2")[0] == 0 and file_bytes(game, GAME_FILES) == after
            assert undo(editor, game)[0] == 0 and file_bytes(game, GAME_FILES) == start
            assert undo(editor, game) == (1, "nothing to undo\n")


def a_node_change_is_left_and_named(editor, divorced):
    with scratch_game(divorced) as game:
        # A wedding of 1 and 6 since, or a new sign-up in slot 1: the pair stays as it is now.
        apart = players(game)
        for pokes, why in ((((1, "married_to", 6), (6, "married_to", 1)), "(now 6), left whole"),
                           (((1, "name", b"Newcomer"),), "now Newcomer (Maya Thornbury)")):
            for n, name, value in pokes:
                poke(game, n, name, value)
            changed = players(game)
            code, said = undo(editor, game)
            assert code == 1 and why in said and players(game) == changed, said
            pathlib.Path(game, "PLAYER.DAT").write_bytes(apart)
        poke(game, 1, "charm", 777)  # a node's change meanwhile
        code, said = undo(editor, game)
        assert code == 0 and "player 1 Sellith married_to: -1 -> 0" in said, said
        assert "player 1 Sellith charm: changed since (now 777), left as it is" in said, said
        assert [field(game, n, name) for n, name in
                ((1, "charm"), (1, "married_to"), (0, "married_to"))] == [777, 0, 1]
        # Every line of each operation that touched the player (notices too), found by a nickname
        # given since; an operation by its number.
        assert run(editor, game, "set", "1", "name=Kit")[0] == 0
        for args, ops in ((("--player", "kit"), {"1", "2", "3"}), (("--op", "2"), {"2"})):
            out = [line.split("\t") for line in run(editor, game, "log", *args)[1].splitlines()]
            assert {line[3] for line in out} == ops, out
            assert (["-", ""] in [line[5:7] for line in out]) == ("1" in ops), out
        assert undo(editor, game, "99") == (1, "zorvan32: there is no operation 99\n")


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


# After a crash's NUL-filled tail, longer than a line may be: the room left under the file-size
# limit, the command, then its exit code, the gold after it and words it says.
LIMITED = [
    (512, ("set", "0", "gold=6"), 2, 5, "ZORVAN32.LOG cannot be written"),
    (1 << 20, ("set", "0", "gold=7"), 0, 7, ""),
    (512, ("undo",), 2, 7, "ZORVAN32.LOG could not be written"),
    (1 << 20, ("undo",), 0, 5, "gold: 7 -> 5"),
]


def unwritable_journal_stops_commands_not_the_editor(editor, sample):
    with scratch_game(sample) as game:
        log = os.path.join(game, "ZORVAN32.LOG")
        os.mkdir(log)  # even root cannot append to a directory
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
        os.rmdir(log)
        assert run(editor, game, "set", "0", "gold=5")[0] == 0
        os.truncate(log, os.path.getsize(log) + (64 << 20))

        def limited(room, *args):  # less memory than the journal; a file-size limit
            # A sanitizer's runtime reserves terabytes of address space: the native run proves
            # the memory bound.
            memory = "" if sanitized(editor) else "ulimit -v 32000; "
            script = memory + 'ulimit -f %d; exec "$0" "$@"'
            blocks = (os.path.getsize(log) + room) // 512
            return run("/bin/sh", game, "-c", script % blocks, editor, *args)
        for room, args, code, gold, words in LIMITED:
            size = os.path.getsize(log)
            said = limited(room, *args)
            assert (said[0], field(game, 0, "gold")) == (code, gold), said
            assert words in said[1] + said[2] and (code == 0 or os.path.getsize(log) == size), said
        out = limited(1 << 20, "log")[1]  # numbers go on after the NULs, on a fresh line
        assert [line.split("\t")[3] for line in out.splitlines()] == ["3", "2", "1"], out


# The files the operations below write, each write of which the crash test kills in turn.
WRITTEN = ("PLAYER.DAT", "ZORVAN32.RBK", "ZORVAN32.LOG", "LOGNOW.TXT", "mail0.dat", "mail1.dat",
           "MAIL6.DAT")


def crash_at_every_write(editor, sample, divorced):
    """Killed at each write of an operation in turn, the next start leaves every file as before
    the operation or as after it, never between, and the journal's last operation says which."""
    if not shutil.which("strace"):
        print("crash test skipped: strace is not installed")
        return

    cases = [(sample, "divorce", 0, DIVORCE), (sample, "clean-slate", 6, ("#", "Y", "2\r")),
             (divorced, "undo-1", None, ())]
    for base, kind, account, keys in cases:
        states = []
        for call in ("pwrite64", "write"):  # records and the rollback file; notices, journal
            for n in range(1, 100):
                with scratch_game(base) as game:
                    before = file_bytes(game, skip=OWN)
                    # LeakSanitizer cannot run under a tracer.
                    wrap = ["env", "ASAN_OPTIONS=detect_leaks=0",
                            "strace", "-f", "-qq", "-o", os.devnull, "-e",
                            "inject=%s:signal=SIGKILL:when=%d" % (call, n)]
                    wrap += ["-P%s/%s" % (game, f) for f in WRITTEN]
                    done = (by_keys(editor, game, account, keys, kind, wrap) if keys else
                            run(wrap[0], game, *wrap[1:], editor, "undo")[0] == 0)
                    if done:
                        after = file_bytes(game, skip=OWN)
                        break
                    err = run(editor, game, "check")[2]
                    rbk = pathlib.Path(game, "ZORVAN32.RBK")
                    assert not rbk.exists() or not rbk.stat().st_size, "rollback file left"
                    states.append((call, n, file_bytes(game, skip=OWN), last_kind(game), err))
                    if last_kind(game) == "rollback":  # half an operation: not undone
                        assert "(rollback" not in run(editor, game, "undo")[1], (kind, n)
        assert len(states) > 4, "%s: too few writes killed" % kind
        for call, n, state, said, err in states:
            assert state in (before, after), "%s killed at %s %d: between" % (kind, call, n)
            assert (state == after) == (said == kind), (kind, call, n, said)
            assert (said == "rollback") == ("rolled back" in err), (kind, call, n, err)


if __name__ == "__main__":
    editor, sample = sys.argv[1], sys.argv[2]
    for test in (each_operation_is_journaled_and_undone, forged_operations_are_refused,
                 unwritable_journal_stops_commands_not_the_editor):
        test(editor, sample)
    with scratch_game(sample) as divorced:
        by_keys(editor, divorced, 0, DIVORCE, "divorce")
        a_node_change_is_left_and_named(editor, divorced)
        crash_at_every_write(editor, sample, divorced)
    print("journal and undo: passed")
