// Files that a BBS hands over by name (drop files): only a plain file on disk is taken for one, so
// a name that turns out to be a pipe or a device can neither hang the program nor feed it without
// end (FileOpen refuses to open such a name too).
#pragma once
#include <string>

#include "runtime/files.h"

// True when path names a regular file: not a directory, pipe, device or socket.
bool PathIsRegularFile(const std::string& path);
