// What an operation on a game file came to, for reads and writes alike.
#pragma once
#include <cstdint>

// What an operation on PLAYER.DAT came to. wrBusy: a game node held the file past the 5-second
// wait; wrMissing: no such file; wrNotWritable: it will not open for writing (read-only, a
// directory, no permission) or the write failed; wrOutside: the record is not in the file.
enum WriteResult : uint8_t { wrWritten, wrBusy, wrMissing, wrNotWritable, wrOutside };
// A read or a count that worked.
constexpr WriteResult wrDone = wrWritten;
