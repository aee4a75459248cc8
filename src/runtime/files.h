// Files: the exclusive and shared open modes, positioned record I/O, existence, deletion and the
// case-insensitive lookup of game files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The process-wide open mode, as the game's nodes expect it: 0x12 is read/write denying every other
// opener, 0x42 read/write denying none. Exclusive is a share mode of 0 on Windows and a whole-file
// non-blocking lock on POSIX; a lock held elsewhere makes the open fail.
enum FileOpenMode : uint8_t { fmExclusive = 0x12, fmShared = 0x42 };
void SetFileOpenMode(uint8_t mode);
uint8_t CurrentFileOpenMode();
// The open mode and the last error back to their start values.
void FilesReset();
// The open mode for one scope: what code needs for its own opens, given back at the scope's end so
// that whether a later open takes locks never depends on what ran before it.
class OpenModeScope {
 public:
  explicit OpenModeScope(uint8_t mode) : saved_(CurrentFileOpenMode()) { SetFileOpenMode(mode); }
  ~OpenModeScope() { SetFileOpenMode(saved_); }
  OpenModeScope(const OpenModeScope&) = delete;
  OpenModeScope& operator=(const OpenModeScope&) = delete;

 private:
  uint8_t saved_;
};

// faAppend: read/write where every write goes to the file's end as the system finds it then, so a
// game node appending at the same moment keeps its line.
enum FileAccess : uint8_t { faRead, faReadWrite, faAppend };

// An open file; closes itself. Move-only.
class OsFile {
 public:
  OsFile() = default;
  ~OsFile();
  OsFile(OsFile&& other) noexcept;
  OsFile& operator=(OsFile&& other) noexcept;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;
  bool IsOpen() const { return handle_ != kNoHandle; }
  intptr_t Native() const { return handle_; }
  void Adopt(intptr_t handle);  // platform code only
  intptr_t Release();

  static constexpr intptr_t kNoHandle = -1;

 private:
  intptr_t handle_ = kNoHandle;
};

// Every function that can fail returns false (or -1) and leaves the OS error code in FileLastError().
int FileLastError();

// Opens path with the current open mode's sharing. create: make the file when it does not exist
// (an existing file is not truncated). Only a plain file on disk opens, and without waiting: a
// pipe, device or socket in a game file's place fails at once with kFileErrorNotPlain.
bool FileOpen(OsFile& file, const std::string& path, FileAccess access, bool create = false);

// The whole-file locks that a native game node may hold (POSIX only): a classic fcntl record lock,
// an open-file-description lock, a flock. The exclusive open mode takes the last two and is kept
// out by all three.
enum FileLockKind : uint8_t { lkRecord, lkOfd, lkFlock };
// Opens path read/write and locks the whole file that way without waiting, for a helper that plays
// a node. Fails like FileOpen (a lock held elsewhere is a sharing conflict); where the kind does not
// exist it fails with the platform's not-supported error.
bool FileOpenLockedAs(OsFile& file, const std::string& path, FileLockKind kind);
// Makes path, which must not exist yet, with all of bytes at once: written under a temporary name
// beside it, then linked into place, so no reader ever sees it empty or half written. False when
// path exists already (FileErrorIsAlreadyThere) or the file could not be made.
bool FileCreateWhole(const std::string& path, const std::string& bytes);
bool FileErrorIsAlreadyThere(int os_error);
// Opens path for writing, creating it empty or truncating it (used to create a missing text file).
bool FileCreateEmpty(const std::string& path);
void FileClose(OsFile& file);
// Exactly n bytes at offset, or false (a short read is a failure, with error code 0 for end of file).
bool FileReadAt(OsFile& file, int64_t offset, void* buffer, size_t n);
bool FileWriteAt(OsFile& file, int64_t offset, const void* buffer, size_t n);
// n bytes at the end of a file opened with faAppend.
bool FileWriteAtEnd(OsFile& file, const void* buffer, size_t n);
// The lock two writers of ours take turns with on a text file the game's nodes read all day: it
// denies no reader (a share mode would), only another holder of this lock. Not waiting; a holder
// elsewhere is a sharing conflict. The file must be open for writing.
bool FileLockWriters(OsFile& file);
// A file only our own programs lock (the journal), kept open between uses: its writers' lock taken
// and given back without closing. The lock is not waited for; a holder is a sharing conflict.
bool FileLockOurs(OsFile& file);
void FileUnlockOurs(OsFile& file);
// Whether the open file has lost its name (deleted or replaced since it was opened).
bool FileIsUnlinked(OsFile& file);
int64_t FileLength(OsFile& file);  // -1 on failure
bool FileTruncate(OsFile& file, int64_t length);
// Reads the file's first max bytes (all of a shorter file) into out: a format that can use only
// so much never has to hold a huge file in memory.
bool FileReadHead(OsFile& file, size_t max, std::string& out);

// True when a directory entry of that name exists: files and directories alike.
bool PathExists(const std::string& path);
bool PathIsDirectory(const std::string& path);
bool FileRemove(const std::string& path);
bool SetWorkingDirectory(const std::string& path);

std::string OsErrorText(int os_error);
// Our own error number for a name that is not a plain file (bit 29 marks an application's error on
// Windows; no errno comes near it), and OsErrorText's words for it.
constexpr int kFileErrorNotPlain = 0x20000001;
constexpr const char* kFileNotPlainText = "not a plain file";
// Whether an open failed only because another opener holds the file (a lock or share conflict),
// so that trying again later may work.
bool FileErrorIsSharingConflict(int os_error);

// The platform's path separator ('\\' on Windows, '/' on POSIX).
char PathSeparator();
// True when path ends in a separator (or, on Windows, in ':').
bool PathEndsInSeparator(const std::string& path);
// The name after the last '/' or '\\' (either, on every platform: a path may come from the other
// one), and what comes before it, its separator kept ("" for a bare name).
std::string BaseName(const std::string& path);
std::string DirName(const std::string& path);

// dir + name, where name is looked up case-insensitively among dir's entries on POSIX (the game's
// own files may be PLAYER.DAT or player.dat). When no entry matches, dir + name as given. dir is used
// as it stands (it already ends in a separator, or is empty for the working directory).
std::string GameFilePath(const std::string& dir, const std::string& name);
