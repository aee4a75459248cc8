#!/usr/bin/env python3
"""The command words for scripts, without a terminal: list, show and export against the files' bytes;
check against games built with each problem; set against the screen's clamps and beside a node;
exit 2 and one line on stderr when a file is missing, busy or unreadable.
  commands_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import fcntl
import json
import os
import pathlib
import re
import struct
import subprocess
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

from blackbox import (FIELD, FIELDS, RECORD, Terminal, decode, field, hold, journal_lines, open_on,
                      players, poke, records, run, run_as_nobody, scratch_game, wait_until)

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
        assert ok(editor, game, "list") == LIST
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
        listed = json.loads(ok(editor, game, "list", "--json"))
        assert len(export["players"]) == len(listed) == len(data) // RECORD
        for n, record in enumerate(records(data)):
            expected = {"number": n, **{name: decode(record, name) for name, _, _ in FIELDS}}
            assert export["players"][n] == expected, (n, export["players"][n], expected)
            assert list(export["players"][n]) == ["number"] + [name for name, _, _ in FIELDS]
            assert json.loads(ok(editor, game, "show", str(n), "--json")) == expected
            summary = {key: expected[key] for key in ("level", "gold", "bank", "experience")}
            summary.update(nickname=expected["name"], real_name=expected["real_name"],
                           dead=expected["dead"] == 5, deleted=expected["name"] == "X")
            assert {key: listed[n][key] for key in summary} == summary, (n, listed[n])
        assert [p["married_to"] for p in listed] == [
            [{"player": 1, "name": "Séllèth \x01\x1b"}], [{"player": 0, "name": "Brannock"}],
            [{"character": "Quenna"}], [{"character": "Dask Able"}], [], [{"player": 250,
                                                                           "name": None}], []]
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


def check_repair_findings_are_the_editors_repair(editor, sample):
    """Grimwald, who breaks most rules, repaired by the editor's own key; check said beforehand
    what every field would become, and repair all (its dry run first) writes the same."""
    with scratch_game(sample) as game, scratch_game(sample) as by_word:
        before = records(players(game))[5]
        assert run(editor, game, "check")[1].endswith("\n14 problems in 1 of 7 players\n")
        start = game_files(by_word)
        dry = run(editor, by_word, "repair", "all", "--dry-run")
        assert dry[0] == 0 and game_files(by_word) == start, dry
        assert run(editor, by_word, "repair", "all") == dry
        assert run(editor, by_word, "repair", "all", "--dry-run") == (1, "nothing to repair\n", "")
        report = json.loads(run(editor, game, "check", "--json")[1])
        promised = {p["field"]: p["after"] for p in report["problems"]
                    if p["kind"] == "repair" and p["player"] == 5}
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
        assert players(by_word) == players(game)
        assert journal_lines(by_word)[0][4] == "repair" and run(editor, by_word, "undo")[0] == 0
        assert players(by_word) == start["PLAYER.DAT"]
        for name, _, _ in FIELDS:
            expected = promised.get(name, decode(before, name))
            assert decode(after, name) == expected, (name, decode(after, name), expected)


# The screen's number editors by key (the extended screen's after "$"), and its text editors.
MAIN_NUMBERS = list(zip("2456890CEGILMO", "level hit_points experience hit_max weapon_num "
                        "forest_fights player_fights strength defense charm gems armour_num gold "
                        "bank".split()))
EXT_NUMBERS = list(zip("2456BCDEFG", "kills games_won lays kids skill_dk uses_dk skill_mystic "
                       "uses_mystic skill_thief uses_thief".split()))
TEXTS = list(zip("137K", ["real_name", "name", "weapon_name", "armour_name"]))


def screen_answers(term, keys, answer):
    for key, _ in keys:
        term.send(key)
        term.wait_for("Enter ")
        term.send(answer + "\r")
        term.wait_gone("Enter ")


def set_clamps_as_the_screen_does(editor, sample):
    with scratch_game(sample) as by_keys, scratch_game(sample) as by_set:
        for answer, text in (("99999999999", "Mid Way"), ("-99999", "abcdefghijklmnopqrstuvwxyz")):
            term = open_on(editor, by_keys, 6)
            screen_answers(term, MAIN_NUMBERS, answer)
            screen_answers(term, TEXTS, text)
            term.send("$")
            term.wait_for("EXTENDED INFO")
            screen_answers(term, EXT_NUMBERS, answer)
            term.send("Q")
            term.wait_for("Account Number: 6")
            term.done()
            out = ok(editor, by_set, "set", "6", *["%s=%s" % (name, answer) for _, name in
                                                   MAIN_NUMBERS + EXT_NUMBERS],
                     *["%s=%s" % (name, text) for _, name in TEXTS])
            assert out.startswith("player 6 "), out
            keyed, set_ = records(players(by_keys))[6], records(players(by_set))[6]
            differ = [name for name, _, _ in FIELDS if decode(keyed, name) != decode(set_, name)]
            assert keyed == set_, "answer %s: set and the screen differ in %s" % (answer, differ)
        assert (decode(set_, "real_name"), decode(set_, "name")) == (  # 20, in capitals
            "ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrst")
        assert "gold: 0 -> 2000000000 (asked 99999999999; the editor's most is 2000000000)" in \
            ok(editor, by_set, "set", "0", "gold=0", "gold=99999999999")


# Each: the exit code, the arguments, and a piece of the one line on stderr.
REFUSED = [
    (2, ["set", "0", "gold=12abc"], 'gold: "12abc" is not a whole number'),
    (2, ["set", "0", "gold="], "is not a whole number"),
    (2, ["set", "0", "gold=1.5"], "is not a whole number"),
    (2, ["set", "0", "gold= 7"], "is not a whole number"),
    (2, ["set", "0", "level=$C"], "is not a whole number"),
    (2, ["set", "0", "sex=3"], 'sex takes 0 or 5, not "3"'),
    (2, ["set", "0", "skill_class=0"], "skill_class takes 1, 2 or 3"),
    (2, ["set", "0", "horse=5"], "horse takes 0 or 1"),
    (2, ["set", "0", "married_to=1"], "marriage editor"),
    (2, ["set", "0", "time_on=3"], "time_on is the game's own"),
    (2, ["set", "0", "golds=1"], 'no field named "golds"'),
    (2, ["set", "0", "gold"], '"gold" is not FIELD=VALUE'),
    (2, ["set", "0", "name="], "is not a text the editor takes"),
    (2, ["set", "0", "name=Br\u00e4nnock"], "is not a text the editor takes"),
    (2, ["set", "0", "gold=5", "level=x"], "level"),  # nothing is written when any part is refused
    (2, ["set", "e", "gold=5"], "several players (0 Brannock, 1 Sellith"),  # none of them
    (2, ["set", "0"], "zorvan32: usage: zorvan32 set"),
    (2, ["list", "--yaml"], "zorvan32: usage:"),
    (2, ["show"], "zorvan32: usage:"),
    (2, ["check", "x"], "zorvan32: usage:"),
    (2, ["export", "--csv"], "zorvan32: usage:"),
    (1, ["show", "zz"], "zorvan32: no player"),
    (1, ["show", "7"], "zorvan32: no player"),
    (1, ["set", "7", "gold=1"], "zorvan32: no player"),
    (1, ["set", "nobody", "gold=1"], "zorvan32: no player"),
]


def each_refusal_is_one_line_and_writes_nothing(editor, sample):
    with scratch_game(sample) as game:
        start = players(game)
        for want, args, said in REFUSED:
            code, out, err = run(editor, game, *args)
            assert (code, out) == (want, "") and said in err and err.count("\n") == 1, (args, err)
        # Every field is named by set: changed, or refused with the reason.
        for name, _, _ in FIELDS:
            code, _, err = run(editor, game, "set", "0", name + "=\u2603")
            assert code == 2 and "no field named" not in err, (name, err)
        # A dry run prints what would change, and writes nothing either.
        assert run(editor, game, "set", "0", "gold=7", "--dry-run") == (
            0, "player 0 Brannock:\n  gold: 48250 -> 7\n", "")
        assert run(editor, game, "set", "0", "gold=48250", "--dry-run")[0] == 1
        assert players(game) == start
        assert not os.path.exists(os.path.join(game, "ZORVAN32.LOG"))


def set_keeps_a_nodes_change_and_is_journaled(editor, sample):
    """A node adds experience to Brannock under its lock, again and again, while set writes his
    gold: every one of the node's additions stays, and the last gold is on disk."""
    with scratch_game(sample) as game:
        start = field(game, 0, "experience")
        stop, added = threading.Event(), [0]

        def node():
            with open(os.path.join(game, "PLAYER.DAT"), "r+b") as f:
                at = FIELD["experience"][0]
                while not stop.is_set():
                    fcntl.flock(f, fcntl.LOCK_EX)
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
        assert added[0] > 0 and field(game, 0, "experience") == start + added[0]
        assert field(game, 0, "gold") == 30
        # Thirty operations of their own, each one field and the record's bytes.
        lines = journal_lines(game)
        assert {line[4] for line in lines} == {"set"} and len({line[3] for line in lines}) == 30
        assert lines[-2][7:] == ["gold", "29", "30"], lines[-2:]
        # Undo puts the gold back and leaves the node's experience.
        code, out, _ = run(editor, game, "undo")
        assert code == 0 and "player 0 Brannock gold: 30 -> 29" in out, out
        assert (field(game, 0, "gold"), field(game, 0, "experience")) == (29, start + added[0])


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


# Each: the file, what is done to it, a piece of the one line on stderr, the commands that say it
# and where their standard output goes. Readers run as nobody, to whom a mode is no formality.
CANNOT = [
    ("ZORVAN32.CFG", os.remove, "ZORVAN32.CFG is missing", READERS + SET),
    ("PLAYER.DAT", os.remove, "PLAYER.DAT is missing!", READERS + SET),
    ("PLAYER.DAT", folder, "PLAYER.DAT cannot be read: Is a directory", READERS),
    ("PLAYER.DAT", folder, "PLAYER.DAT is unwritable! (Is a directory)", SET),
    ("MARRAGE.DAT", folder, "MARRAGE.DAT cannot be read", READERS),
    ("PLAYER.DAT", lambda path: os.truncate(path, 100 << 20),  # sparse: no game's file
     "PLAYER.DAT holds 444311 records, more than 65536", READERS),
    ("PLAYER.DAT", lambda path: os.chmod(path, 0), "PLAYER.DAT cannot be read: Permission denied",
     READERS),
    ("PLAYER.DAT", fifo, "PLAYER.DAT cannot be read", READERS),  # at once, never waited on
    ("MARRAGE.DAT", fifo, "MARRAGE.DAT cannot be read", READERS),
    ("TIME.DAT", fifo, "TIME.DAT cannot be read", READERS),
    ("ZORVAN32.LOG", fifo, "ZORVAN32.LOG cannot be read", (["log"], ["undo"])),
    (None, None, "standard output could not be written: No space left", READERS,
     lambda: os.open("/dev/full", os.O_WRONLY)),
    (None, None, "Broken pipe; the change was made", SET, no_reader),  # and it stands
    (None, None, "Broken pipe\n", (["set", "0", "gold=1", "--dry-run"],), no_reader),  # none made
]


def each_command_says_why_it_cannot_read(editor, sample):
    for name, change, cause, commands, *stdout in CANNOT:
        with scratch_game(sample) as game:
            if name:
                change(os.path.join(game, name))
            for args in commands:
                out = stdout[0]() if stdout else subprocess.PIPE
                code, text, err = (run_as_nobody if args in READERS else run)(
                    editor, game, *args, stdout=out)
                assert (code, text) == (2, "") and cause in err and err.count("\n") == 1, (
                    args, code, err)
                if stdout:
                    os.close(out)
            if "change was made" in cause:
                assert field(game, 0, "gold") == 1
    with scratch_game(sample) as game:  # set reads no character file
        folder(os.path.join(game, "MARRAGE.DAT"))
        assert run(editor, game, *SET[0])[0] == 0


def busy_files_stop_each_command(editor, game_node, sample):
    """A node holds a file past the 5-second wait: every command at once, on two games."""
    with scratch_game(sample) as busy_players, scratch_game(sample) as busy_bard:
        nodes = [hold(game_node, os.path.join(game, name), 30)
                 for game, name in ((busy_players, "PLAYER.DAT"), (busy_bard, "MARBARD.DAT"))]
        try:
            # The readers hold PLAYER.DAT while they wait for MARBARD.DAT (an operation rewrites
            # the marriage files under that hold), so set goes on the second game after them.
            jobs = [(game, args) for game, commands in ((busy_players, READERS + SET),
                                                        (busy_bard, READERS)) for args in commands]
            with ThreadPoolExecutor(len(jobs)) as pool:
                results = list(pool.map(lambda job: run(editor, job[0], *job[1]), jobs))
            code, _, err = run(editor, busy_bard, *SET[0])
            assert code == 0 and nodes[1].poll() is None, err
        finally:
            for node in nodes:
                node.kill()
                node.wait()
        for (game, args), (code, out, err) in zip(jobs, results):
            cause = "PLAYER.DAT is busy!" if game == busy_players else "MARBARD.DAT is busy!"
            said = 2 if args in SET else 1  # a change says first, once, that it waits
            assert (code, out) == (2, "") and cause in err and err.count("\n") == said, (args, err)
            assert ("waiting for PLAYER.DAT" in err) == (said == 2), (args, err)


def main(editor, game_node, sample):
    list_and_show_print_the_sample_game(editor, sample)
    json_gives_every_field_as_the_bytes_hold_it(editor, sample)
    check_finds_each_problem(editor, sample)
    check_repair_findings_are_the_editors_repair(editor, sample)
    set_clamps_as_the_screen_does(editor, sample)
    each_refusal_is_one_line_and_writes_nothing(editor, sample)
    set_keeps_a_nodes_change_and_is_journaled(editor, sample)
    each_command_says_why_it_cannot_read(editor, sample)
    busy_files_stop_each_command(editor, game_node, sample)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
    print("command words: passed")
