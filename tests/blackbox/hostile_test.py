#!/usr/bin/env python3
"""A telnet caller who floods, never reads and hangs up mid-screen: the door stays up with bounded
memory and ends with code 0 soon after.
  hostile_test.py ZORVAN32 SAMPLE_GAME"""
import os
import pathlib
import random
import sys
import time

from blackbox import IAC, MAIN, Caller, connected_pair, ends_soon, headless, scratch_game

SB, DO, WILL = 250, 253, 251


def rss_kb(pid):
    return int(pathlib.Path("/proc/%d/status" % pid).read_text().split("VmRSS:")[1].split()[0])


def hostile_blocks(rng):
    """1 MB in blocks of the four kinds, shuffled. The random keys leave out Q, so the flood is
    never the main screen's quit: the door must live until the hang-up."""
    kinds = [
        lambda: bytes(b for b in rng.randbytes(8192) if b not in b"qQ"),
        lambda: bytes([IAC, DO, rng.randrange(256)] * 1500 + [IAC, WILL, 1] * 500),
        lambda: bytes([IAC, SB, 24]) + bytes(rng.randrange(255) for _ in range(6000)),
        lambda: bytes(4096),
    ]
    blocks = []
    while sum(map(len, blocks)) < 1 << 20:
        blocks.append(rng.choice(kinds)())
    return blocks


def send_within(sock, data, deadline):
    """As much as the door takes before the deadline; a door that stops reading is no error."""
    sent = 0
    while sent < len(data) and time.monotonic() < deadline:
        try:
            sent += sock.send(data[sent:sent + 65536])
        except BlockingIOError:
            time.sleep(0.005)
    return sent


def main(editor, sample):
    # A small window: the door's output stops at a full socket buffer almost at once. ASan keeps
    # freed blocks in quarantine; capped, memory reflects what the door holds.
    bbs, sock = connected_pair(receive_window=4096)
    env = dict(os.environ, ASAN_OPTIONS=os.getenv("ASAN_OPTIONS", "") + ":quarantine_size_mb=4")
    argv = [editor, "-H%d" % bbs.fileno(), "-N1", "-T"]
    with scratch_game(sample) as game, headless(argv, game, [bbs.fileno()], env=env) as door:
        Caller(sock).wait_for(MAIN % 0)
        bbs.close()
        sock.setblocking(False)  # never read again from here on
        base = peak = rss_kb(door.pid)
        sent, deadline = 0, time.monotonic() + 30
        for i, block in enumerate(hostile_blocks(random.Random(15))):
            sent += send_within(sock, block, deadline)
            assert door.poll() is None, "the door ended during the flood: %s" % door.returncode
            peak = max(peak, rss_kb(door.pid)) if i % 8 == 0 else peak
        peak = max(peak, rss_kb(door.pid))
        print("flood: %d bytes taken; RSS %d kB at first, peak %d kB" % (sent, base, peak))
        # Bounded: a door that queued what it could not send, or kept the caller's bytes unread,
        # would grow with the flood; 32 KB queues leave room for allocator noise only.
        assert peak - base < 16 * 1024, "memory grew by %d kB under the flood" % (peak - base)
        sock.close()  # hang up in the middle of whatever the door is drawing
        ends_soon(lambda: door.wait(15), time.monotonic())


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
    print("hostile caller: passed")
