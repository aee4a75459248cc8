// The runtime's own state in one place: what a fresh process starts with.
#pragma once

// The open mode and last file error, the clock's override, a noted hang-up, a wake not yet taken,
// the exit-step chain and the halt hook, all back to their start values (tests start each case here).
void RuntimeReset();
