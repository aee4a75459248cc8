// The BBS ending a door session from outside: a hang-up signal or a stop of the node.
#pragma once

// From now on SIGHUP and SIGTERM are only noted (POSIX; nothing on Windows), so the session can end
// at its next key wait, never in the middle of a file write.
void HangupSignalsDefer();
// Whether one of them has arrived since, or a hang-up was noted.
bool HangupSignalled();
// The terminal or line went away without a signal (a wrapper that was the session leader took the
// SIGHUP): the session ends at its next key wait just the same.
void HangupNote();
// Nothing noted any more (the start value).
void HangupForget();

// A write past the file-size limit (ulimit -f, which door scripts often set) fails with EFBIG like
// a full disk, and is put back as one, instead of killing the program halfway through an operation
// (POSIX; Windows has no such signal).
void FileSizeSignalIgnore();
