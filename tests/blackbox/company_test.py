#!/usr/bin/env python3
"""The editor beside game nodes and a second editor: saves keep what others wrote; a divorce while a
node holds PLAYER.DAT; a spouse beyond the file; a full disk in a Clean Slate.
  company_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import os
import sys

from blackbox import (MAIN, field, hold, open_on, players, poke, records, scratch_game,
                      wait_until)

BUSY_DIVORCE = "PLAYER.DAT is busy!  The divorce was not made: nothing was changed."


def edit_number(term, key, value, prompt):
    term.send(key)
    term.wait_for(prompt)
    term.send(str(value) + "\r")
    term.wait_gone(prompt)


def saves_keep_what_others_wrote(editor, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 0)
        poke(game, 0, "experience", 777777)
        edit_number(term, "M", 123456, "Enter Gold in Hand")
        assert field(game, 0, "gold") == 123456, field(game, 0, "gold")
        assert field(game, 0, "experience") == 777777, "the save undid the node's experience"
        term.wait_for("777,777")  # shown as written
        # Journaled as that one field, old and new, and the record's bytes before and after.
        lines = [line.split("\t")[1:] for line in
                 open(os.path.join(game, "ZORVAN32.LOG"), "rb").read().decode().splitlines()]
        assert [line[:-2] for line in lines] == [
            ["local", "sysop", "1", "field-edit", "0", "Brannock", "gold"],
            ["local", "sysop", "1", "field-edit", "0", "Brannock", "record"]], lines
        assert lines[0][-2:] == ["48250", "123456"], lines[0]
        # A deletion by one editor, then a second editor's charm edit of the same player.
        first, second = term, open_on(editor, game, 0)
        first.send("X")
        first.wait_for("Are you SURE")
        first.send("Y")
        wait_until(lambda: records(players(game))[0][:2] == b"\x01X", first.pump,
                   lambda: "no deletion on disk")
        edit_number(second, "G", 99, "Enter Charm Points")
        assert records(players(game))[0][:2] == b"\x01X", "the deleted player came back"
        assert field(game, 0, "charm") == 99, field(game, 0, "charm")
        # A Clean Slate by one, then the other's gold edit: the reset stays.
        first.send("#")
        first.wait_for("Enter Y or N")
        first.send("Y")
        first.wait_for("Enter selection code")
        first.send("1\r")
        # What is drawn and redrawn between two key waits never reaches a terminal: wait on disk.
        wait_until(lambda: field(game, 0, "level") == 1, first.pump, lambda: "no reset on disk")
        edit_number(second, "M", 4242, "Enter Gold in Hand")
        assert (field(game, 0, "hit_points"), field(game, 0, "level")) == (20, 1), \
            "the Clean Slate was undone"
        assert field(game, 0, "gold") == 4242, field(game, 0, "gold")
        first.done()
        second.done()


def divorce_while_a_node_holds_the_file(editor, node, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 0)  # Brannock, married to Sellith (1)
        before = {name: open(os.path.join(game, name), "rb").read() for name in os.listdir(game)}
        term.send("Z")
        term.wait_for("Enter Player #")
        term.send("-1\r")
        term.wait_for("Divorce Players Now?")
        holder = hold(node, os.path.join(game, "PLAYER.DAT"), 10)
        term.send("Y")
        # The line stays under the redrawn screen until the next key.
        term.wait_for(BUSY_DIVORCE)
        term.wait_for(MAIN % 0)
        term.pump(0.5)
        assert BUSY_DIVORCE in term.text()
        holder.wait()
        after = {name: open(os.path.join(game, name), "rb").read() for name in os.listdir(game)
                 if name != "ZORVAN32.LOG"}
        assert after == before, "files changed: %s" % [n for n in after if after[n] != before.get(n)]
        term.send("]")
        term.wait_gone(BUSY_DIVORCE)
        term.done()


def spouse_beyond_the_file(editor, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 5)  # Grimwald, married to 250 of 7 players
        row = next(line for line in term.text().split("\n") if "Married To" in line)
        tail = row[row.index(":250") + 4:].split("  ")[0].strip()
        assert tail == "", "a name shown for player 250: %r" % row
        news = open(os.path.join(game, "LOGNOW.TXT"), "rb").read() \
            if os.path.exists(os.path.join(game, "LOGNOW.TXT")) else b""
        charm = field(game, 5, "charm")
        term.send("Z")
        term.wait_for("Enter Player #")
        term.send("-1\r")
        term.wait_for("Divorce Players Now?")
        term.send("Y")
        # "Nobody" is on the marriage editor's own screen already: wait on disk.
        wait_until(lambda: field(game, 5, "married_to") == -1, term.pump,
                   lambda: "still married to %d" % field(game, 5, "married_to"))
        term.wait_for("-1 Nobody!")
        assert field(game, 5, "charm") == int(charm / 2), (charm, field(game, 5, "charm"))
        mail = [n for n in os.listdir(game) if n.lower().startswith("mail")]
        assert mail == [], "mail written: %s" % mail
        assert (open(os.path.join(game, "LOGNOW.TXT"), "rb").read()
                if os.path.exists(os.path.join(game, "LOGNOW.TXT")) else b"") == news
        term.done()


def full_disk_in_a_clean_slate(editor, sample):
    """A file-size limit (with SIGXFSZ at its default, which python's own ignoring would hide) as
    the full disk: the news append is cut short after the mail went out."""
    limit_blocks = 200  # of 512 bytes, as sh's ulimit -f counts
    with scratch_game(sample) as game:
        news = b"old news\r\n" * (limit_blocks * 512 // 10 - 2)  # 20 bytes short of the limit
        with open(os.path.join(game, "LOGNOW.TXT"), "wb") as f:
            f.write(news)
        before = players(game)
        wrapper = ["env", "--default-signal=XFSZ", "/bin/sh", "-c",
                   "ulimit -f %d; exec \"$0\"" % limit_blocks]
        term = open_on(editor, game, 2, wrapper)
        term.send("#")
        term.wait_for("Enter Y or N")
        term.send("Y")
        term.wait_for("Enter selection code")
        term.send("1\r")
        code = term.finish()
        assert code == 2, "exit code %s" % code
        assert open(os.path.join(game, "LOGNOW.TXT"), "rb").read() == news, "the news was torn"
        mail = os.path.join(game, "MAIL2.DAT")
        assert not os.path.exists(mail), "the mail stayed"
        assert players(game) == before, "the reset stayed without its news"


def main(editor, node, sample):
    saves_keep_what_others_wrote(editor, sample)
    divorce_while_a_node_holds_the_file(editor, node, sample)
    spouse_beyond_the_file(editor, sample)
    full_disk_in_a_clean_slate(editor, sample)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
    print("editor in company: passed")
