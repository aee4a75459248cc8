// The caller's connection's own state in one place: what a fresh process starts with.
#pragma once

// The channel (destroyed if open), its character set, its room wait and its translation's
// leftovers, and the local screen's ANSI parser, back to their start values. Each file holds its
// part in one struct of its own; this is the one place that resets them all.
void CommReset();
