#!/usr/bin/env python3
"""The command words for scripts, without a terminal: list, show and export against the files' bytes;
check against games built with each problem; set against the screen's clamps and beside a node;
exit 2 and one line on stderr when a file is missing, busy or unreadable.
  commands_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import csv
import fcntl
import io
import json
import os
import pathlib
import re
import struct
import subprocess
import sys
import threading

from blackbox import (FIELD, FIELDS, RECORD, Terminal, decode, field, hold, open_on, players,
                      poke, records, run, scratch_game, wait_until)

COMMANDS = (["list"], ["show", "0"], ["check"], ["export"], ["set", "0", "gold=1"])

LIST = """\
#  REAL NAME       NICKNAME  LEVEL     GOLD        BANK  EXPERIENCE  MARRIED TO            STATUS
0  Ned Ashworth    Brannock      7    48250     1250000     1834560  1 Sellith             alive
1  Maya Thornbury  Sellith       6     9100      310000      602113  0 Brannock            alive
2  Walter Penrose  Old Harg     11  1200450  2000000000    99120004  Quenna                alive
3  Jo Calloway     Mirelle       4      720       14000       22410  Dask Able             alive
4  X               X             1      200           0           1  nobody                dead
5  Sam Brack       Grimwald     40    -5000  2100000000         -10  250 (no such player)  dead
6  Lee Marsh       Tavi          1      200           0           1  nobody                alive
"""
# The same rows as CSV: the columns above are two or more blanks apart.
LIST_CSV = "number,real_name,nickname,level,gold,bank,experience,married_to,status\n" + "".join(
    ",".join(re.split(r"  +", row)) + "\n" for row in LIST.splitlines()[1:])
SHOW_5 = """\
number 5 name Grimwald real_name Sam Brack hit_points -35 hit_max 0 weapon_num 99
weapon_name Ash Cudgel seen_master 0 forest_fights -1 player_fights 3 gold -5000 bank 2100000000
defense 5 strength 32767 charm 0 seen_dragon 0 seen_quenna 0 level 40 time_on 1
armour_name Quilted Jerkin armour_num -2 dead 5 inn 0 gems -3 experience -10 sex 3 seen_bard 0
lays 0 on_now 0 skill_class 7 horse 0 kids -1 games_won 0 skill_dk 120 skill_mystic 0
skill_thief 0 uses_dk -4 uses_mystic 0 uses_thief 0 married_to 250 kills 0 weird_event 0
high_spirits 1 flirted 0"""


def ok(editor, game, *args):
    code, out, err = run(editor, game, *args)
    assert code == 0 and not err, (args, code, err)
    return out


def write(game, name, data):
    pathlib.Path(game, name).write_bytes(data)


def list_and_show_print_the_sample_game(editor, sample):
    with scratch_game(sample) as game:
        assert ok(editor, game, "list") == LIST
        # A read-only ZORVAN32.CFG is read all the same (root writes any file: run as nobody).
        os.chmod(game, 0o755)
        os.chmod(os.path.join(game, "ZORVAN32.CFG"), 0o444)
        as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] * (
            os.geteuid() == 0) + [editor, "list"]
        assert run(as_user[0], game, *as_user[1:]) == (0, LIST, "")
        assert ok(editor, game, "list", "--csv") == LIST_CSV
        assert " ".join(ok(editor, game, "show", "5").split()) == " ".join(SHOW_5.split())
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
        for query in ("zz", "7"):
            code, out, err = run(editor, game, "show", query)
            assert (code, out) == (1, "") and err.startswith("zorvan32: no player"), (code, err)
        code, out, err = run(editor, game, "set", "e", "gold=5")  # several: none of them
        assert (code, out) == (2, "") and "several players (0 Brannock, 1 Sellith" in err, err


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
        assert export["format"] == "zorvan32-export" and export["version"] == 1
        assert export["player_file_bytes"] == len(data) and export["record_size"] == RECORD
        assert (export["day"], export["day_text"]) == (17, "17")
        assert export["characters"] == [
            {"character": "Quenna", "file": "MARRAGE.DAT", "married_to": 2},
            {"character": "Dask Able", "file": "MARBARD.DAT", "married_to": 3}]
        listed = json.loads(ok(editor, game, "list", "--json"))
        assert len(export["players"]) == len(listed) == len(data) // RECORD
        for n, record in enumerate(records(data)):
            expected = {"number": n, **{name: decode(record, name) for name, _, _ in FIELDS}}
            assert export["players"][n] == expected, (n, export["players"][n], expected)
            assert list(export["players"][n]) == ["number"] + [name for name, _, _ in FIELDS]
            assert json.loads(ok(editor, game, "show", str(n), "--json")) == expected
            summary = {key: expected[key] for key in ("level", "gold", "bank", "experience")}
            assert {key: listed[n][key] for key in summary} == summary
            assert (listed[n]["nickname"], listed[n]["real_name"]) == (expected["name"],
                                                                        expected["real_name"])
            assert listed[n]["dead"] == (expected["dead"] == 5)
        assert export["players"][1]["name"] == "Séllèth \x01\x1b"
        assert export["players"][2]["weapon_name"] == "Rune"
        assert [p["married_to"] for p in listed] == [
            [{"player": 1, "name": "Séllèth \x01\x1b"}], [{"player": 0, "name": "Brannock"}],
            [{"character": "Quenna"}], [{"character": "Dask Able"}], [], [{"player": 250,
                                                                           "name": None}], []]
        # The lines show the PC's glyphs for control bytes, never the bytes themselves.
        row = ok(editor, game, "list").splitlines()[2]
        assert "Maïa ö▀█⌂" in row and "Séllèth ☺←" in row, row
        rows = list(csv.reader(io.StringIO(ok(editor, game, "list", "--csv"))))
        assert rows[2][1:3] == ["Maïa ö▀█⌂", "Séllèth ☺←"], rows[2]
        # A missing TIME.DAT and character files are null, not guessed.
        for name in ("TIME.DAT", "MARRAGE.DAT", "MARBARD.DAT"):
            os.remove(os.path.join(game, name))
        export = json.loads(ok(editor, game, "export"))
        assert export["day"] is None and export["day_text"] is None
        assert [c["married_to"] for c in export["characters"]] == [None, None]


def healthy(game):
    """The sample game with its faulty player 5 replaced by a sound one."""
    data = bytearray(players(game))
    data[5 * RECORD:6 * RECORD] = data[6 * RECORD:7 * RECORD]
    pathlib.Path(game, "PLAYER.DAT").write_bytes(bytes(data))
    poke(game, 5, "name", b"Grimwald")


def append_records(game, count):
    data = players(game)
    pathlib.Path(game, "PLAYER.DAT").write_bytes(data + data[6 * RECORD:7 * RECORD] * count)


# Each: what is done to the healthy game, and the kinds of problem check must report (no others).
PROBLEMS = [
    (lambda g: write(g, "PLAYER.DAT", players(g) + b"\0" * 10), {"player-file-partial-record"}),
    (lambda g: append_records(g, 250), {"player-file-too-many"}),
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
        start = {name: pathlib.Path(game, name).read_bytes() for name in os.listdir(game)}
        assert run(editor, game, "check") == (0, "all well: 7 players\n", "")
        assert json.loads(ok(editor, game, "check", "--json")) == {
            "status": 0, "players": 7, "problems": []}
        for make, kinds in PROBLEMS:
            for name, data in start.items():
                write(game, name, data)
            make(game)
            broken = {name: pathlib.Path(game, name).read_bytes() for name in os.listdir(game)}
            code, out, err = run(editor, game, "check", "--json")
            report = json.loads(out)
            assert code == 1 and report["status"] == 1 and not err, (kinds, code, err)
            assert {p["kind"] for p in report["problems"]} == kinds, (kinds, report)
            code, out, _ = run(editor, game, "check")
            lines = out.splitlines()
            assert code == 1 and lines[:-1] == [p["text"] for p in report["problems"]], out
            assert lines[-1].endswith("problems in %d players" % report["players"]), out
            after = {name: pathlib.Path(game, name).read_bytes() for name in os.listdir(game)}
            assert after == broken, "check changed a file"
        assert report["problems"] == [{
            "kind": "repair", "text": "player 6 Tavi: repair rule 1 (level-negative): level -3 -> 1",
            "player": 6, "rule": 1, "rule_name": "level-negative", "field": "level",
            "before": -3, "after": 1}]


def check_repair_findings_are_the_editors_repair(editor, sample):
    """Grimwald, who breaks most rules, repaired by the editor's own key; check said beforehand
    what every field would become."""
    with scratch_game(sample) as game:
        before = records(players(game))[5]
        report = json.loads(run(editor, game, "check", "--json")[1])
        promised = {}
        for problem in report["problems"]:
            if problem["kind"] == "repair" and problem["player"] == 5:
                promised[problem["field"]] = problem["after"]
        assert len(promised) >= 10, promised
        term = open_on(editor, game, 5)
        term.send("$")
        term.wait_for("EXTENDED INFO")
        term.send("A")
        wait_until(lambda: os.path.exists(os.path.join(game, "ZORVAN32.LOG")), term.pump,
                   lambda: "no repair journaled")
        term.send("Q")
        term.wait_for("Account Number: 5")
        term.done()
        after = records(players(game))[5]
        for name, _, _ in FIELDS:
            expected = promised.get(name, decode(before, name))
            assert decode(after, name) == expected, (name, decode(after, name), expected)


# The screen's number editors by key (the extended screen's after "$"), with their prompts.
MAIN_NUMBERS = [("2", "level"), ("4", "hit_points"), ("5", "experience"), ("6", "hit_max"),
                ("8", "weapon_num"), ("9", "forest_fights"), ("0", "player_fights"),
                ("C", "strength"), ("E", "defense"), ("G", "charm"), ("I", "gems"),
                ("L", "armour_num"), ("M", "gold"), ("O", "bank")]
EXT_NUMBERS = [("2", "kills"), ("4", "games_won"), ("5", "lays"), ("6", "kids"),
               ("B", "skill_dk"), ("C", "uses_dk"), ("D", "skill_mystic"), ("E", "uses_mystic"),
               ("F", "skill_thief"), ("G", "uses_thief")]
TEXTS = [("1", "real_name"), ("3", "name"), ("7", "weapon_name"), ("K", "armour_name")]


def screen_answers(term, keys, answer):
    for key, _ in keys:
        term.send(key)
        term.wait_for("Enter ")
        term.send(answer + "\r")
        term.wait_gone("Enter ")


def set_clamps_as_the_screen_does(editor, sample):
    with scratch_game(sample) as by_keys, scratch_game(sample) as by_set:
        for answer, texts in (("-99999", "abcdefghijklmnopqrstuvwxyz"), ("99999999999", None),
                              ("9", "Mid Way")):
            term = open_on(editor, by_keys, 6)
            screen_answers(term, MAIN_NUMBERS, answer)
            if texts:
                screen_answers(term, TEXTS, texts)
            term.send("$")
            term.wait_for("EXTENDED INFO")
            screen_answers(term, EXT_NUMBERS, answer)
            term.send("Q")
            term.wait_for("Account Number: 6")
            term.done()
            assignments = ["%s=%s" % (name, answer) for _, name in MAIN_NUMBERS + EXT_NUMBERS]
            assignments += ["%s=%s" % (name, texts) for _, name in TEXTS] if texts else []
            out = ok(editor, by_set, "set", "6", *assignments)
            assert out.startswith("player 6 "), out
            keyed, set_ = records(players(by_keys))[6], records(players(by_set))[6]
            differ = [name for name, _, _ in FIELDS if decode(keyed, name) != decode(set_, name)]
            assert keyed == set_, "answer %s: set and the screen differ in %s" % (answer, differ)
            if answer == "-99999":  # 20 characters, the real name in capitals
                assert (decode(set_, "real_name"), decode(set_, "name")) == (
                    "ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrst")
        assert "gold: 0 -> 2000000000 (asked 99999999999; the editor's most is 2000000000)" in \
            ok(editor, by_set, "set", "0", "gold=0", "gold=99999999999")


# Each: the arguments after "set", and a piece of the one line on stderr.
REFUSED = [
    (["0", "gold=12abc"], 'gold: "12abc" is not a whole number'),
    (["0", "gold="], "is not a whole number"),
    (["0", "gold=1.5"], "is not a whole number"),
    (["0", "gold= 7"], "is not a whole number"),
    (["0", "level=$C"], "is not a whole number"),
    (["0", "sex=3"], 'sex takes 0 or 5, not "3"'),
    (["0", "skill_class=0"], "skill_class takes 1, 2 or 3"),
    (["0", "horse=5"], "horse takes 0 or 1"),
    (["0", "married_to=1"], "marriage editor"),
    (["0", "time_on=3"], "time_on is the game's own"),
    (["0", "golds=1"], 'no field named "golds"'),
    (["0", "gold"], '"gold" is not FIELD=VALUE'),
    (["0", "name="], "is not a text the editor takes"),
    (["0", "name=Br\u00e4nnock"], "is not a text the editor takes"),
    (["0", "gold=5", "level=x"], "level"),  # nothing is written when any part is refused
    (["0"], "usage: zorvan32 set"),
]


def set_refuses_what_the_screen_would_pass_over(editor, sample):
    with scratch_game(sample) as game:
        start = players(game)
        for args, said in REFUSED:
            code, out, err = run(editor, game, "set", *args)
            assert (code, out) == (2, "") and said in err and err.count("\n") == 1, (args, err)
        # Every field is named by set: changed, or refused with the reason.
        for name, _, _ in FIELDS:
            code, _, err = run(editor, game, "set", "0", name + "=\u2603")
            assert code == 2 and "no field named" not in err, (name, err)
        for args in (["7", "gold=1"], ["nobody", "gold=1"]):
            code, out, err = run(editor, game, "set", *args)
            assert (code, out) == (1, "") and "no player" in err, (args, err)
        assert players(game) == start
        assert not os.path.exists(os.path.join(game, "ZORVAN32.LOG"))


def set_keeps_a_nodes_change_and_is_journaled(editor, sample):
    """A node adds experience to Brannock under its lock, again and again, while set writes his
    gold: every one of the node's additions stays, and the last gold is on disk."""
    with scratch_game(sample) as game:
        path = os.path.join(game, "PLAYER.DAT")
        start = field(game, 0, "experience")
        stop, added = threading.Event(), [0]

        def node():
            with open(path, "r+b") as f:
                while not stop.is_set():
                    fcntl.flock(f, fcntl.LOCK_EX)
                    at = FIELD["experience"][0]
                    value = struct.unpack("<i", os.pread(f.fileno(), 4, at))[0]
                    os.pwrite(f.fileno(), struct.pack("<i", value + 1), at)
                    added[0] += 1
                    fcntl.flock(f, fcntl.LOCK_UN)
                    stop.wait(0.002)  # a node's pace between rewrites

        worker = threading.Thread(target=node)
        worker.start()
        try:
            for gold in range(1, 31):
                ok(editor, game, "set", "brann" if gold % 2 else "0", "gold=%d" % gold)
        finally:
            stop.set()
            worker.join()
        record = records(players(game))[0]
        assert added[0] > 0 and decode(record, "experience") == start + added[0], \
            (added[0], decode(record, "experience") - start)
        assert decode(record, "gold") == 30
        # Thirty operations of their own, each one field and the record's bytes.
        lines = [line.split("\t") for line in
                 pathlib.Path(game, "ZORVAN32.LOG").read_text().splitlines()]
        assert {line[4] for line in lines} == {"set"} and len({line[3] for line in lines}) == 30
        assert [line[7:] for line in lines[-2:-1]] == [["gold", "29", "30"]], lines[-2:]
        # Undo puts the gold back and leaves the node's experience.
        code, out, _ = run(editor, game, "undo")
        assert code == 0 and "player 0 Brannock gold: 30 -> 29" in out, out
        record = records(players(game))[0]
        assert decode(record, "gold") == 29
        assert decode(record, "experience") == start + added[0]


def each_command_says_why_it_cannot_read(editor, game_node, sample):
    """Missing, unreadable and busy files: exit 2, nothing on stdout, one line naming the cause.
    set reads no character file, so only PLAYER.DAT stops it."""

    def expect(game, cause, commands=COMMANDS, stdout=subprocess.PIPE):
        for args in commands:
            code, out, err = run(editor, game, *args, stdout=stdout)
            assert (code, out) == (2, "") and cause in err and err.count("\n") == 1, (args, err)

    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "ZORVAN32.CFG"))
        expect(game, "ZORVAN32.CFG is missing")
    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "PLAYER.DAT"))
        expect(game, "PLAYER.DAT is missing!")
    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "PLAYER.DAT"))
        os.mkdir(os.path.join(game, "PLAYER.DAT"))  # unreadable, even to root
        expect(game, "PLAYER.DAT cannot be read: Is a directory", COMMANDS[:4])
        expect(game, "PLAYER.DAT is unwritable! (Is a directory)", COMMANDS[4:])
    with scratch_game(sample) as game:
        os.remove(os.path.join(game, "MARRAGE.DAT"))
        os.mkdir(os.path.join(game, "MARRAGE.DAT"))
        expect(game, "MARRAGE.DAT cannot be read", COMMANDS[:4])
        assert run(editor, game, *COMMANDS[4])[0] == 0
    with scratch_game(sample) as game:
        os.truncate(os.path.join(game, "PLAYER.DAT"), 100 << 20)  # sparse: no game's file
        expect(game, "PLAYER.DAT holds 444311 records, more than 65536", COMMANDS[:4])
    # A FIFO in a file's place is refused at once, never waited on.
    for name, commands in (("PLAYER.DAT", COMMANDS[:4]), ("MARRAGE.DAT", COMMANDS[:4]),
                           ("TIME.DAT", COMMANDS[:4]), ("ZORVAN32.LOG", (["log"], ["undo"]))):
        with scratch_game(sample) as game:
            pathlib.Path(game, name).unlink(missing_ok=True)
            os.mkfifo(os.path.join(game, name))
            expect(game, name + " cannot be read", commands)
    # Output that cannot be written: a full disk, a reader gone (set's change stands).
    with scratch_game(sample) as game, open("/dev/full", "wb") as full:
        expect(game, "standard output could not be written: No space left", COMMANDS[:4], full)
        reader, writer = os.pipe()
        os.close(reader)
        expect(game, "Broken pipe; the change was made", COMMANDS[4:], writer)
        os.close(writer)
        assert field(game, 0, "gold") == 1
    if os.geteuid() != 0:
        with scratch_game(sample) as game:
            os.chmod(os.path.join(game, "PLAYER.DAT"), 0)
            expect(game, "PLAYER.DAT cannot be read: Permission denied", COMMANDS[:4])
    # A node holds a file past the 5-second wait: every command at once, on two games.
    with scratch_game(sample) as busy_players, scratch_game(sample) as busy_bard:
        nodes = [hold(game_node, os.path.join(game, name), 30)
                 for game, name in ((busy_players, "PLAYER.DAT"), (busy_bard, "MARBARD.DAT"))]
        try:
            results = {}

            def one(game, args):
                results[(game, tuple(args))] = run(editor, game, *args)

            # The readers hold PLAYER.DAT while they wait for MARBARD.DAT (an operation rewrites
            # the marriage files under that hold), so set goes on the second game after them.
            threads = [threading.Thread(target=one, args=(game, args))
                       for game, commands in ((busy_players, COMMANDS), (busy_bard, COMMANDS[:4]))
                       for args in commands]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            code, _, err = run(editor, busy_bard, *COMMANDS[4])
            assert code == 0 and nodes[1].poll() is None, err
        finally:
            for node in nodes:
                node.kill()
                node.wait()
        for (game, args), (code, out, err) in results.items():
            cause = "PLAYER.DAT is busy!" if game == busy_players else "MARBARD.DAT is busy!"
            assert (code, out) == (2, "") and cause in err and err.count("\n") == 1, (args, err)


def help_names_every_command(editor, sample):
    with scratch_game(sample) as game:
        listed = ok(editor, game, "help")
        for word in ("list", "show", "check", "export", "set", "undo", "log"):
            assert "zorvan32 %s" % word in listed, listed
            text = ok(editor, game, word, "--help")
            assert text.startswith("usage: zorvan32 %s" % word) and len(text.splitlines()) > 1
        assert "NICKNAME (the record's name" in ok(editor, game, "help", "list")
        for args in (["list", "--yaml"], ["show"], ["check", "x"], ["export", "--csv"]):
            code, out, err = run(editor, game, *args)
            assert (code, out) == (2, "") and err.startswith("zorvan32: usage:"), (args, err)


def main(editor, game_node, sample):
    list_and_show_print_the_sample_game(editor, sample)
    json_gives_every_field_as_the_bytes_hold_it(editor, sample)
    check_finds_each_problem(editor, sample)
    check_repair_findings_are_the_editors_repair(editor, sample)
    set_clamps_as_the_screen_does(editor, sample)
    set_refuses_what_the_screen_would_pass_over(editor, sample)
    set_keeps_a_nodes_change_and_is_journaled(editor, sample)
    each_command_says_why_it_cannot_read(editor, game_node, sample)
    help_names_every_command(editor, sample)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
    print("command words: passed")
