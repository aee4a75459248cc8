#!/usr/bin/env python3
"""The editor beside game nodes: a save keeps what a node wrote; a divorce while a node holds
PLAYER.DAT; a spouse beyond the file; a full disk in a Clean Slate.
  company_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import os
import pathlib
import sys

from blackbox import field, hold, open_on, players, poke, scratch_game, wait_until

BUSY_DIVORCE = "PLAYER.DAT is busy!  The divorce was not made: nothing was changed."
# Each key and the prompt it brings.
DIVORCE = (("Z", "Enter Player #"), ("-1\r", "Divorce Players Now?"))
CLEAN_SLATE = (("#", "Enter Y or N"), ("Y", "Enter selection code"))


def keys(term, steps):
    for key, prompt in steps:
        term.send(key)
        term.wait_for(prompt)


def read(game, name):
    path = pathlib.Path(game, name)
    return path.read_bytes() if path.exists() else None


def a_save_keeps_what_a_node_wrote(editor, sample):
    """The soak finds the same among random writers; this finds it every time."""
    with scratch_game(sample) as game:
        term = open_on(editor, game, 0)
        poke(game, 0, "experience", 777777)
        keys(term, (("M", "Enter Gold in Hand"),))
        term.send("123456\r")
        term.wait_for("777,777")  # the saved record, read back
        assert (field(game, 0, "gold"), field(game, 0, "experience")) == (123456, 777777)
        term.done()


def divorce_while_a_node_holds_the_file(editor, node, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 0)  # Brannock, married to Sellith (1)
        before = {name: read(game, name) for name in os.listdir(game)}
        keys(term, DIVORCE)
        holder = hold(node, os.path.join(game, "PLAYER.DAT"), 10)
        term.send("Y")
        term.wait_for(BUSY_DIVORCE)
        holder.wait()
        after = {name: read(game, name) for name in os.listdir(game) if name != "ZORVAN32.LOG"}
        assert after == before, [name for name in after if after[name] != before.get(name)]
        term.done()


def spouse_beyond_the_file(editor, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 5)  # Grimwald, married to 250 of 7 players
        news, charm = read(game, "LOGNOW.TXT"), field(game, 5, "charm")
        keys(term, DIVORCE)
        term.send("Y")
        # "Nobody" is on the marriage editor's own screen already: wait on disk.
        wait_until(lambda: field(game, 5, "married_to") == -1, term.pump,
                   lambda: "still married to %d" % field(game, 5, "married_to"))
        term.wait_for("-1 Nobody!")
        assert field(game, 5, "charm") == int(charm / 2), (charm, field(game, 5, "charm"))
        assert [n for n in os.listdir(game) if n.lower().startswith("mail")] == [], "mail written"
        assert read(game, "LOGNOW.TXT") == news
        term.done()


def full_disk_in_a_clean_slate(editor, sample):
    """A file-size limit (with SIGXFSZ at its default, which python's own ignoring would hide) as
    the full disk: the news append is cut short after the mail went out."""
    limit_blocks = 200  # of 512 bytes, as sh's ulimit -f counts
    with scratch_game(sample) as game:
        news = b"old news\r\n" * (limit_blocks * 512 // 10 - 2)  # 20 bytes short of the limit
        pathlib.Path(game, "LOGNOW.TXT").write_bytes(news)
        before = players(game)
        wrapper = ["env", "--default-signal=XFSZ", "/bin/sh", "-c",
                   "ulimit -f %d; exec \"$0\"" % limit_blocks]
        term = open_on(editor, game, 2, wrapper)
        keys(term, CLEAN_SLATE)
        term.send("1\r")
        assert term.finish() == 2, "exit code"
        assert read(game, "LOGNOW.TXT") == news, "the news was torn"
        assert read(game, "MAIL2.DAT") is None, "the mail stayed"
        assert players(game) == before, "the reset stayed without its news"


if __name__ == "__main__":
    a_save_keeps_what_a_node_wrote(sys.argv[1], sys.argv[3])
    divorce_while_a_node_holds_the_file(sys.argv[1], sys.argv[2], sys.argv[3])
    spouse_beyond_the_file(sys.argv[1], sys.argv[3])
    full_disk_in_a_clean_slate(sys.argv[1], sys.argv[3])
    print("editor in company: passed")
