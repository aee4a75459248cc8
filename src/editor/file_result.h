// What an operation on a game file came to, for reads and writes alike.
#pragma once
#include <cstdint>

// frDone: the read, count or write worked. frBusy: a game node held the file past the 5-second
// wait. frMissing: no such file. frFailed: it would not open (read-only for a write, a directory,
// no permission) or the read or write itself failed. frOutside: the record is not in the file.
enum FileResult : uint8_t { frDone, frBusy, frMissing, frFailed, frOutside };
