// The runtime's own state in one place: what a fresh process starts with.
#pragma once

// The open mode and last file error, the clock's override, a noted hang-up, a wake not yet taken,
// the exit steps, hooks and pending report, the console model and the local keyboard, all back to
// their start values (tests start each case here). Each file holds its own part in one struct of
// its own; this is the one place that resets them all.
void RuntimeReset();
