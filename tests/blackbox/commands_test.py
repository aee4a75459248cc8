#!/usr/bin/env python3
"""The command words for scripts, without a terminal: list, show and export against the files' bytes;
check against games built with each problem; set's clamps and cuts; one line on stderr and the
exit code for each refusal and for a file that is missing, busy or unreadable.
  commands_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import contextlib
import json
import os
import pathlib
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

from blackbox import (FIELDS, RECORD, Terminal, decode, field, hold, journal_lines, players,
                      poke, records, run, run_as_nobody, scratch_game)

READERS = (["list"], ["show", "0"], ["check"], ["export"])
SET = (["set", "0", "gold=1"],)

LIST = """\
#  REAL NAME       NICKNAME  LEVEL     GOLD        BANK  EXPERIENCE  MARRIED TO            STATUS
0  Ned Ashworth    Brannock      7    48250     1250000     1834560  1 Sellith             alive
1  Maya Thornbury  Sellith       6     9100      310000      602113  0 Brannock            alive
2  Walter Penrose  Old Harg     11  1200450  2000000000    99120004  Quenna                alive
3  Jo Calloway     Mirelle       4      720       14000       22410  Dask Able             alive
4  X               X             1      200           0           1  nobody                deleted
5  Sam Brack       Grimwald     40    -5000  2100000000         -10  250 (no such player)  dead
6  Lee Marsh       Tavi          1      200           0           1  nobody                alive\n"""
# The same rows as CSV: the columns above are two or more blanks apart.
LIST_CSV = "number,real_name,nickname,level,gold,bank,experience,married_to,status\n" + "".join(
    ",".join(re.split(r"  +", row)) + "\n" for row in LIST.splitlines()[1:])


def ok(editor, game, *args):
    code, out, err = run(editor, game, *args)
    assert code == 0 and not err, (args, code, err)
    return out


def write(game, name, data):
    pathlib.Path(game, name).write_bytes(data)


def list_and_show_print_the_sample_game(editor, sample):
    with scratch_game(sample) as game:
        os.chmod(os.path.join(game, "ZORVAN32.CFG"), 0o444)  # read all the same
        assert run_as_nobody(editor, game, "list") == (0, LIST, "")
        assert ok(editor, game, "list", "--csv") == LIST_CSV
        # Filters add up; -C names the game's directory from anywhere, or exits 2 with the reason.
        rows = LIST_CSV.splitlines(True)
        assert run(editor, "/", "-C", game, "list", "--csv", "--dead", "--deleted") == (
            0, rows[0] + rows[5] + rows[6], "")
        assert ok(editor, game, "list", "--alive", "--csv") == "".join(
            rows[i] for i in (0, 1, 2, 3, 4, 7))
        code, _, err = run(editor, "/", "-C", game + "/none", "list")
        assert code == 2 and "cannot enter " + game + "/none: No such file" in err, err
        # The version and the usage on standard output; a word that is no command never opens
        # the editor.
        assert re.fullmatch(r"zorvan32 \d+\.\d+\n", ok(editor, game, "--version"))
        assert " USAGE:" in ok(editor, game, "-h") and "zorvan32 list" in ok(editor, game, "--help")
        code, out, err = run(editor, game, "lsit")
        assert (code, out) == (2, "") and "unknown command: lsit" in err and "list" in err, err
        shown = ["number", "5"] + [word for name, _, _ in FIELDS
                                   for word in [name] + str(field(game, 5, name)).split()]
        assert ok(editor, game, "show", "5").split() == shown
        # A terminal gets the same lines and no screen codes; the program leaves it as it was.
        term = Terminal([editor, "list"], game)
        assert term.finish() == 0
        assert term.data.decode().replace("\r\n", "\n") == LIST, term.data
        # NAME as the editor's search finds it: the real name on its visible letters (a colour
        # code inside it is passed over), any case, CP437 from UTF-8; a whole nickname wins.
        poke(game, 6, "real_name", b"Lee`2 Marsh")
        poke(game, 6, "name", b"T\x84vi\x01")
        poke(game, 1, "real_name", b"Mirelle Kin")
        for query, number in (("mirelle", 3), ("SELL", 1), ("lee marsh", 6), ("tävi", 6)):
            assert json.loads(ok(editor, game, "show", query, "--json"))["number"] == number, query
        assert "6  Lee`2 Marsh     Tävi☺" in ok(editor, game, "list")


def json_gives_every_field_as_the_bytes_hold_it(editor, sample):
    with scratch_game(sample) as game:
        # Names in CP437, a control byte among them, and stale bytes past a text's length.
        poke(game, 1, "name", b"S\x82ll\x8ath \x01\x1b")
        poke(game, 1, "real_name", b"Ma\x8ba \x94\xdf\xdb\x7f")
        with open(os.path.join(game, "PLAYER.DAT"), "r+b") as f:
            f.seek(2 * RECORD + 82)
            f.write(b"\x04Rune Maul")  # "Rune", then bytes past the length
        data = players(game)
        export = json.loads(ok(editor, game, "export"))
        assert [export[key] for key in ("format", "version", "record_size", "player_file_bytes",
                                        "day", "day_text")] == ["zorvan32-export", 1, RECORD,
                                                                len(data), 17, "17"]
        assert export["characters"] == [
            {"character": "Quenna", "file": "MARRAGE.DAT", "married_to": 2},
            {"character": "Dask Able", "file": "MARBARD.DAT", "married_to": 3}]
        assert export["players"] == [{"number": n, **{name: decode(record, name) for name, _, _ in
                                                      FIELDS}} for n, record in enumerate(records(data))]
        listed = json.loads(ok(editor, game, "list", "--json"))
        assert [p["married_to"] for p in listed] == [
            [{"player": 1, "name": "Séllèth \x01\x1b"}], [{"player": 0, "name": "Brannock"}],
            [{"character": "Quenna"}], [{"character": "Dask Able"}], [], [{"player": 250,
                                                                           "name": None}], []]
        assert listed[5] == {"number": 5, "real_name": "Sam Brack", "nickname": "Grimwald",
                             "level": 40, "gold": -5000, "bank": 2100000000, "experience": -10,
                             "married_to": [{"player": 250, "name": None}], "dead": True,
                             "deleted": False}
        assert [p["deleted"] for p in listed] == [False] * 4 + [True] + [False] * 2
        assert (listed[1]["nickname"], listed[6]["dead"]) == ("Séllèth \x01\x1b", False)
        # The lines show the PC's glyphs for control bytes, never the bytes themselves.
        assert re.search("\n1 +Maïa ö▀█⌂ +Séllèth ☺← ", ok(editor, game, "list"))
        assert "\n1,Maïa ö▀█⌂,Séllèth ☺←," in ok(editor, game, "list", "--csv")
        # A missing TIME.DAT and character files are null, not guessed.
        for name in ("TIME.DAT", "MARRAGE.DAT", "MARBARD.DAT"):
            os.remove(os.path.join(game, name))
        export = json.loads(ok(editor, game, "export"))
        assert (export["day"], export["day_text"]) == (None, None)
        assert [c["married_to"] for c in export["characters"]] == [None, None]


def game_files(game):
    return {name: pathlib.Path(game, name).read_bytes() for name in os.listdir(game)}


def healthy(game):
    """The sample game with its faulty player 5 replaced by a sound one."""
    data = bytearray(players(game))
    data[5 * RECORD:6 * RECORD] = data[6 * RECORD:7 * RECORD]
    pathlib.Path(game, "PLAYER.DAT").write_bytes(bytes(data))
    poke(game, 5, "name", b"Grimwald")


# Each: what is done to the healthy game, and the kinds of problem check must report (no others).
PROBLEMS = [
    (lambda g: write(g, "PLAYER.DAT", players(g) + b"\0" * 10), {"player-file-partial-record"}),
    (lambda g: write(g, "PLAYER.DAT", players(g) + players(g)[-RECORD:] * 250),
     {"player-file-too-many"}),
    (lambda g: poke(g, 6, "married_to", 300), {"spouse-outside"}),
    (lambda g: poke(g, 6, "married_to", -7), {"spouse-outside"}),
    (lambda g: poke(g, 6, "married_to", 4), {"spouse-deleted"}),
    (lambda g: poke(g, 6, "married_to", 0), {"spouse-not-mutual"}),
    (lambda g: poke(g, 6, "married_to", 6), {"spouse-self"}),
    (lambda g: write(g, "MARRAGE.DAT", b"0\r\n"), {"character-and-player"}),
    (lambda g: write(g, "MARRAGE.DAT", b"6\r\n"), {"character-wrong-sex"}),
    (lambda g: write(g, "MARBARD.DAT", b"5\r\n") or poke(g, 5, "sex", 0), {"character-wrong-sex"}),
    (lambda g: write(g, "MARBARD.DAT", b"2\r\n"), {"character-wrong-sex", "both-characters"}),
    (lambda g: write(g, "MARRAGE.DAT", b"99\r\n"), {"character-outside"}),
    (lambda g: write(g, "MARRAGE.DAT", b"4\r\n"), {"character-deleted"}),
    (lambda g: write(g, "MARRAGE.DAT", b"Old Harg\r\n"),
     {"character-not-a-number", "character-and-player"}),  # read as player 0, who is married
    (lambda g: poke(g, 6, "level", -3), {"repair"}),
]


def check_finds_each_problem(editor, sample):
    with scratch_game(sample) as game:
        healthy(game)
        start = game_files(game)
        assert run(editor, game, "check") == (0, "all well: 7 players\n", "")
        assert json.loads(ok(editor, game, "check", "--json")) == {
            "status": 0, "players": 7, "players_with_problems": 0, "problems": []}
        for make, kinds in PROBLEMS:
            for name, data in start.items():
                write(game, name, data)
            make(game)
            broken = game_files(game)
            code, out, err = run(editor, game, "check", "--json")
            report = json.loads(out)
            assert (code, report["status"], err) == (1, 1, ""), (kinds, code, err)
            assert {p["kind"] for p in report["problems"]} == kinds, (kinds, report)
            code, out, _ = run(editor, game, "check")
            lines = out.splitlines()
            assert code == 1 and lines[:-1] == [p["text"] for p in report["problems"]], out
            assert re.search(r"problems in \d+ of %d players$" % report["players"], out), out
            assert game_files(game) == broken, "check changed a file"
        assert report["problems"] == [{
            "kind": "repair", "text": "player 6 Tavi: repair rule 1 (level-negative): level -3 -> 1",
            "player": 6, "rule": 1, "rule_name": "level-negative", "field": "level",
            "before": -3, "after": 1}]



def repair_puts_right_what_check_finds(editor, sample):
    """Grimwald breaks most rules: repair all (its dry run first, which writes nothing) is one
    operation that undo takes back."""
    with scratch_game(sample) as game:
        assert run(editor, game, "check")[1].endswith("\n14 problems in 1 of 7 players\n")
        start = game_files(game)
        dry = run(editor, game, "repair", "all", "--dry-run")
        assert dry[0] == 0 and "level: 40 -> 12 (rule 48, level-above-12)" in dry[1], dry
        assert game_files(game) == start
        assert run(editor, game, "repair", "all") == dry
        assert "repair rule" not in run(editor, game, "check")[1]
        assert run(editor, game, "repair", "5") == (1, "nothing to repair\n", "")
        assert run(editor, game, "undo")[0] == 0 and players(game) == start["PLAYER.DAT"]


def folder(path):  # unreadable, even to root
    os.remove(path)
    os.mkdir(path)


def fifo(path):  # nobody writes it
    pathlib.Path(path).unlink(missing_ok=True)
    os.mkfifo(path)


def no_reader():
    reader, writer = os.pipe()
    os.close(reader)
    return writer


def set_stores_what_the_screen_would(editor, sample):
    """A number clamped, a text cut to the editor's line and a real name in capitals, each said."""
    with scratch_game(sample) as game:
        folder(os.path.join(game, "MARRAGE.DAT"))  # set reads no character file
        out = ok(editor, game, "set", "brann", "gold=99999999999",
                 "real_name=abcdefghijklmnopqrstuvwxyz", "name=Ab C", "sex=5")
        assert "gold: 48250 -> 2000000000 (asked 99999999999; the editor's most is 2000000000)" in \
            out and "(cut to the 20 characters the editor's line takes)" in out, out
        assert [field(game, 0, name) for name in ("gold", "real_name", "name", "sex")] == [
            2000000000, "ABCDEFGHIJKLMNOPQRST", "Ab C", 5]
        # One operation of its own, a line each field and the record's bytes.
        assert [line[3:8] for line in journal_lines(game)] == [
            ["1", "set", "0", "Brannock", name] for name in ("name", "real_name", "gold", "sex",
                                                             "record")]
        # A dry run prints what would change, and writes nothing.
        assert run(editor, game, "set", "0", "gold=7", "--dry-run") == (
            0, "player 0 Ab C:\n  gold: 2000000000 -> 7\n", "")
        assert run(editor, game, "set", "0", "sex=5", "--dry-run")[0] == 1
        assert len(journal_lines(game)) == 5 and field(game, 0, "gold") == 2000000000


def on(name, change):
    return lambda game, node: change(os.path.join(game, name))


def held(name):  # past the 5-second wait
    return lambda game, node: hold(node, os.path.join(game, name), 30)


# Each: the commands, their exit code, a piece of the one line on stderr, what is done to the game
# first (nothing: it must be left as it was; a node it gives is ended after) and where standard
# output goes. Readers run as nobody, to whom a mode is no formality.
ERRORS = [
    (READERS, 2, "PLAYER.DAT is busy!", held("PLAYER.DAT")),
    (SET, 2, "waiting for PLAYER.DAT, which another program holds (at most 5 seconds)\n"
     "zorvan32: PLAYER.DAT is busy!", held("PLAYER.DAT")),
    (READERS, 2, "MARBARD.DAT is busy!", held("MARBARD.DAT")),
    (SET, 2, "PLAYER.DAT is unwritable! (Is a directory)", on("PLAYER.DAT", folder)),
    (READERS, 2, "PLAYER.DAT cannot be read: Is a directory", on("PLAYER.DAT", folder)),
    (READERS + SET, 2, "ZORVAN32.CFG is missing", on("ZORVAN32.CFG", os.remove)),
    (READERS + SET, 2, "PLAYER.DAT is missing!", on("PLAYER.DAT", os.remove)),
    (READERS, 2, "PLAYER.DAT holds 444311 records, more than 65536",  # sparse: no game's file
     on("PLAYER.DAT", lambda path: os.truncate(path, 100 << 20))),
    (READERS, 2, "PLAYER.DAT cannot be read: Permission denied",
     on("PLAYER.DAT", lambda path: os.chmod(path, 0))),
    (READERS, 2, "PLAYER.DAT cannot be read", on("PLAYER.DAT", fifo)),  # at once, never waited on
    (READERS, 2, "MARRAGE.DAT cannot be read", on("MARRAGE.DAT", fifo)),
    (READERS, 2, "TIME.DAT cannot be read", on("TIME.DAT", fifo)),
    ((["log"], ["undo"]), 2, "ZORVAN32.LOG cannot be read", on("ZORVAN32.LOG", fifo)),
    (READERS, 2, "standard output could not be written: No space left", None,
     lambda: os.open("/dev/full", os.O_WRONLY)),
    (SET, 2, "Broken pipe; the change was made", lambda game, node: None, no_reader),  # and it stands
    ((SET[0] + ["--dry-run"], ["set", "--help"]), 2, "Broken pipe", None, no_reader),
    ((["set", "0", "gold=12abc"],), 2, 'gold: "12abc" is not a whole number', None),
    ((["set", "0", "gold="], ["set", "0", "gold=1.5"], ["set", "0", "gold= 7"],
      ["set", "0", "level=$C"]), 2, "is not a whole number", None),
    ((["set", "0", "sex=3"],), 2, 'sex takes 0 or 5, not "3"', None),
    ((["set", "0", "skill_class=0"],), 2, "skill_class takes 1, 2 or 3", None),
    ((["set", "0", "horse=5"],), 2, "horse takes 0 or 1", None),
    ((["set", "0", "married_to=1"],), 2, "marriage editor", None),
    ((["set", "0", "time_on=3"],), 2, "time_on is the game's own", None),
    ((["set", "0", "golds=1"],), 2, 'no field named "golds"', None),
    ((["set", "0", "gold"],), 2, '"gold" is not FIELD=VALUE', None),
    ((["set", "0", "name="], ["set", "0", "name=Br\u00e4nnock"]), 2,
     "is not a text the editor takes", None),
    ((["set", "0", "gold=5", "level=x"],), 2, "level", None),  # nothing written when any is refused
    ((["set", "e", "gold=5"],), 2, "several players (0 Brannock, 1 Sellith", None),  # none of them
    ((["set", "0"],), 2, "zorvan32: usage: zorvan32 set", None),
    ((["list", "--yaml"], ["show"], ["check", "x"], ["export", "--csv"]), 2, "zorvan32: usage:",
     None),
    ((["show", "zz"], ["show", "7"], ["set", "7", "gold=1"], ["set", "nobody", "gold=1"]), 1,
     "zorvan32: no player", None),
]


def each_error_is_one_line(editor, game_node, sample):
    """Every command at once on a game of its own, so that the busy files' waits overlap."""
    with contextlib.ExitStack() as stack:
        jobs = []
        for commands, want, cause, make, *stdout in ERRORS:
            for args in commands:
                game = stack.enter_context(scratch_game(sample))
                start = players(game)
                node = make(game, game_node) if make else None
                if node:
                    stack.callback(node.kill)
                jobs.append((game, args, want, cause, make, start, stdout))

        def job(game, args, want, cause, make, start, stdout):
            out = stdout[0]() if stdout else subprocess.PIPE
            code, text, err = (run_as_nobody if args in READERS else run)(
                editor, game, *args, stdout=out)
            assert (code, text) == (want, "") and cause in err and err.count("\n") == \
                cause.count("\n") + 1, (
                args, code, err)
            assert ("change was made" in err) == ("change was made" in cause), (args, err)
            if stdout:
                os.close(out)
            if "change was made" in cause:
                assert field(game, 0, "gold") == 1
            elif not make:
                assert players(game) == start
                assert not os.path.exists(os.path.join(game, "ZORVAN32.LOG"))
        with ThreadPoolExecutor(len(jobs)) as pool:
            list(pool.map(lambda j: job(*j), jobs))


def main(editor, game_node, sample):
    list_and_show_print_the_sample_game(editor, sample)
    json_gives_every_field_as_the_bytes_hold_it(editor, sample)
    check_finds_each_problem(editor, sample)
    repair_puts_right_what_check_finds(editor, sample)
    set_stores_what_the_screen_would(editor, sample)
    each_error_is_one_line(editor, game_node, sample)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
    print("command words: passed")
