// Files that a BBS hands over by name (drop files): only a plain file on disk is read, so a name
// that turns out to be a pipe or a device can neither hang the program nor feed it without end.
#pragma once
#include <string>

#include "runtime/files.h"

// True when path names a regular file: not a directory, pipe, device or socket.
bool PathIsRegularFile(const std::string& path);
// Opens path for reading, sharing it with every other opener, when it is a regular file. The open
// never waits: a pipe with no writer yet fails at once, as does anything else that is not a file on
// disk (with the platform's error for a wrong kind of file in FileLastError).
bool FileOpenRegular(OsFile& file, const std::string& path);
