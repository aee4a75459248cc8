#!/usr/bin/env python3
"""The editor beside game nodes: a divorce from a spouse beyond the file.
  company_test.py ZORVAN32 GAME_NODE SAMPLE_GAME"""
import os
import pathlib
import sys

from blackbox import field, open_on, scratch_game, wait_until


def read(game, name):
    path = pathlib.Path(game, name)
    return path.read_bytes() if path.exists() else None


def spouse_beyond_the_file(editor, sample):
    with scratch_game(sample) as game:
        term = open_on(editor, game, 5)  # Grimwald, married to 250 of 7 players
        news, charm = read(game, "LOGNOW.TXT"), field(game, 5, "charm")
        for key, prompt in (("Z", "Enter Player #"), ("-1\r", "Divorce Players Now?")):
            term.send(key)
            term.wait_for(prompt)
        term.send("Y")
        # "Nobody" is on the marriage editor's own screen already: wait on disk.
        wait_until(lambda: field(game, 5, "married_to") == -1, term.pump,
                   lambda: "still married to %d" % field(game, 5, "married_to"))
        term.wait_for("-1 Nobody!")
        assert field(game, 5, "charm") == int(charm / 2), (charm, field(game, 5, "charm"))
        assert [n for n in os.listdir(game) if n.lower().startswith("mail")] == [], "mail written"
        assert read(game, "LOGNOW.TXT") == news
        term.done()


if __name__ == "__main__":
    spouse_beyond_the_file(sys.argv[1], sys.argv[3])
    print("editor in company: passed")
