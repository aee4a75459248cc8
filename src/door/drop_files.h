// The BBS's drop files: each reader fills the Door session from one format. A file that cannot be
// opened leaves the session as it was.
#pragma once
#include <string>

void ReadDoor32Sys(const std::string& path);
void ReadDoorSys(const std::string& path);
void ReadDorinfoDef(const std::string& path);
void ReadInfoFile(const std::string& path);

// The reader for a drop file, by the name that occurs in its path; nullptr when it is not a regular
// file (missing, a directory, a pipe, a device) or its name is none of the four. A drop file over
// 64 KiB is none the BBS wrote for this call: it reads as one that cannot be opened.
using DropFileReader = void (*)(const std::string& path);
// What a walk keeps between lines back to its start value (DoorLibraryReset).
void DropFilesReset();
DropFileReader DropFileReaderFor(const std::string& path);
// For a log: why a regular file at path has no reader (its name is none of the four, which are
// listed), or "" when it is not there or has one.
std::string DropFileNotFoundDetail(const std::string& path);
// Which line of the drop file made its caller local, as a log line may name it:
// DOOR32.SYS line 1 says "0". A file that cannot be read is named as such.
std::string DropFileConnectionLine(const std::string& path);
