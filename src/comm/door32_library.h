/* The calls a WINServer door makes into the BBS's two libraries: DOOR32 (the caller's bytes) and
   WCSRV (who is logged in on which node). A BBS that wants to run this door natively implements
   them; the door finds them by name, DOOR32.DLL and WCSRV.DLL on Windows, libdoor32.so and
   libwcsrv.so on POSIX, in the system's usual library search path.

   Event handles: on Windows the HANDLE of an event object. On POSIX an open file descriptor,
   returned as an intptr_t, that polls readable (POLLIN, or POLLHUP) while the event is signalled,
   for example the read end of a pipe that holds a byte while the event is set; the door only polls
   it with a zero time-out and never reads, writes or closes it. The available event is signalled
   while received bytes are waiting (the caller's socket itself will do); the offline event becomes
   signalled when the caller has gone and stays so. Both stay open until DoorShutdown.

   Threads: DoorRead is called only from the door's reading thread, DoorWrite only from its writing
   thread, the two event calls from its main thread; DoorInitialize and DoorShutdown from the main
   thread, once each. */
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* DOOR32 */
typedef int32_t (*DoorInitializeProc)(void);          /* non-zero: ready for this caller */
typedef void (*DoorShutdownProc)(void);
typedef int32_t (*DoorWriteProc)(const void* buffer, int32_t count); /* takes all; result unused */
typedef int32_t (*DoorReadProc)(void* buffer, int32_t size); /* bytes copied; 0 or less: none */
typedef intptr_t (*DoorGetAvailableEventHandleProc)(void);
typedef intptr_t (*DoorGetOfflineEventHandleProc)(void);

/* WCSRV */
enum { kWinServerUserSize = 900 };
/* 1 when a caller is logged in and the 900-byte block was filled: the name at byte 8 (72 bytes,
   zero-terminated when shorter), a 32-bit little-endian ANSI flag at 700 (0: the caller has ANSI)
   and the caller's minutes left at 832 (32-bit little-endian). */
typedef int32_t (*WildcatLoggedInProc)(void* user_block);
typedef int32_t (*GetNodeProc)(void);

#ifdef __cplusplus
}
#endif
