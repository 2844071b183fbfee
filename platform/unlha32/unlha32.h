/* libunlha32.so: an LHA archiver library with a small C interface.
 *
 * It writes ordinary LHA archives (level-2 headers, -lh5- by default) that other LHA programs read, and
 * reads archives with header levels 0, 1 and 2 and the methods -lh0-, -lh4-, -lh5-, -lh6-, -lh7- and -lhd-.
 * Every export uses C linkage and the platform's default calling convention. Texts are NUL-terminated
 * UTF-8.
 *
 * Member names
 * ------------
 * Every export gives member names in UTF-8 with '/' between folders, and extraction writes files under
 * those names. A header's code-page record (932 or 65001) says how its name bytes read; without one, the
 * UTF-16 name records are used where present, then bytes that are valid UTF-8 are UTF-8, and any others
 * are code page 932 (Shift_JIS as Japanese Windows writes it). In level 0 and 1 headers a '\' that is a
 * character of its own separates folders, as on MS-DOS and Windows; in names we store it is an ordinary
 * character. A name that decodes in none of these ways is listed with U+FFFD in place of the bytes that do
 * not decode, FindFirst/FindNext answer UNLHA_ERROR_BAD_NAME for it, and it is never extracted. New members
 * are stored in code page 932 when every character of the name has a code there, else in UTF-8, with a
 * code-page record saying which; a file name that is not valid UTF-8 is refused.
 *
 * Owner handles and progress
 * --------------------------
 * The caller's "owner" is an opaque pointer that the library never dereferences unless it was registered
 * with UnlhaSetOwnerWindowEx. Registering an owner means: while it stays registered, every command, test and
 * extraction reports progress to it. There is one registered owner per process; registering another one
 * replaces it, and UnlhaKillOwnerWindowEx(owner) removes it again.
 *
 *   - UnlhaSetOwnerWindowEx(owner, callback) with a non-null callback: progress goes to
 *     callback(owner, state, record).
 *   - UnlhaSetOwnerWindowEx(owner, NULL): the owner must point to a TUnlhaOwnerWindow whose `procedure`
 *     receives progress as procedure(owner, state, record). This stands in for a window whose procedure
 *     answers the progress message. A null owner, or a TUnlhaOwnerWindow whose procedure is null, is
 *     accepted and receives nothing.
 *
 * The procedure returns nonzero to ask for cancellation: the running operation stops, removes what it had
 * half written (temporary files, a half-built archive) and returns UNLHA_ERROR_CANCELLED. The record is
 * valid only during the call. Callbacks run on the calling thread, inside the export that was called.
 *
 * States: UNLHA_STATE_OPEN once when an archive has been opened for the operation, UNLHA_STATE_BEGIN
 * when a member starts, UNLHA_STATE_INPROCESS while its bytes are processed (at most every 256 KiB),
 * UNLHA_STATE_END when the operation ends. The record's name field (offset 8) holds the member name.
 */
#ifndef CORVANE_PLATFORM_UNLHA32_UNLHA32_H
#define CORVANE_PLATFORM_UNLHA32_UNLHA32_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Return codes of Unlha, UnlhaExtractMem, UnlhaFindFirst/Next and UnlhaCloseArchive. */
#define UNLHA_OK 0
#define UNLHA_NO_MORE_ENTRIES (-1)     /* FindFirst/FindNext: no (further) entry */
#define UNLHA_ERROR_COMMAND 0x8001     /* bad command text: unknown letter, missing archive name */
#define UNLHA_ERROR_FILE_OPEN 0x8002   /* a file could not be opened, read or created */
#define UNLHA_ERROR_NOT_ARCHIVE 0x8003 /* not an LHA archive, or a damaged or truncated header */
#define UNLHA_ERROR_CRC 0x8004         /* a member's data does not match its CRC-16 */
/* UNLHA_ERROR_UNSAFE_NAME: a member was not written because its name leads outside the target folder, it
 * is a symbolic link (links are never created), or it would land on a file that the same command already
 * extracted (two members with one bare name under -x0). */
#define UNLHA_ERROR_UNSAFE_NAME 0x8005
#define UNLHA_ERROR_METHOD 0x8006    /* a compression method this library cannot decode */
#define UNLHA_ERROR_WRITE 0x8007     /* writing failed for another reason than space (read-only folder) */
#define UNLHA_ERROR_NOT_FOUND 0x8008 /* no file or member matched the names given */
/* UNLHA_ERROR_BROKEN_DATA: compressed data is damaged: invalid code tables, or codes that would decode
 * more than the size the header declares. */
#define UNLHA_ERROR_BROKEN_DATA 0x8009
#define UNLHA_ERROR_HANDLE 0x800A /* an archive handle that is not open */
#define UNLHA_ERROR_BUFFER 0x800B /* ExtractMem: the member does not fit; ReadMember: a null buffer */
/* UNLHA_ERROR_DISK_FULL: no room left. The file system is full (ENOSPC), the user's quota is used up
 * (EDQUOT), or a file would pass the size limit of the process or of the file system (RLIMIT_FSIZE,
 * EFBIG). The command stops at once and removes what it had begun; an existing archive stays as it was. */
#define UNLHA_ERROR_DISK_FULL 0x800C
/* UNLHA_ERROR_BAD_NAME: a member name that decodes in no known way, or a file name to store that is not
 * valid UTF-8. */
#define UNLHA_ERROR_BAD_NAME 0x800D
#define UNLHA_ERROR_CANCELLED 0x8020 /* the owner's progress procedure asked to stop */

/* Progress states. */
#define UNLHA_STATE_BEGIN 0
#define UNLHA_STATE_INPROCESS 1
#define UNLHA_STATE_END 2
#define UNLHA_STATE_OPEN 3

#pragma pack(push, 1)

/* One listing entry, filled by UnlhaFindFirst/UnlhaFindNext (the first 558 bytes; the last 40 bytes are
 * left for the caller to complete, see UnlhaGetWriteTimeEx and friends). */
typedef struct TArchiveEntry {
  uint32_t dwOriginalSize;   /* 0: uncompressed size (low 32 bits) */
  uint32_t dwCompressedSize; /* 4: compressed size (low 32 bits) */
  uint32_t dwCRC;            /* 8: the member's CRC-16 */
  uint16_t uFlag;            /* 12: 0 */
  uint16_t uOSType;          /* 14: operating-system byte of the header ('U', 'M', ...) */
  uint16_t wRatio;           /* 16: compressed size per mille of the original */
  uint8_t headerLevel;       /* 18: 0, 1 or 2 */
  uint8_t reserved1[3];      /* 19 */
  uint16_t wDate;            /* 22: MS-DOS date of the last write, local time */
  uint16_t wTime;            /* 24: MS-DOS time of the last write, local time */
  char szFileName[513];      /* 26: member name with '/' separators, NUL-terminated */
  char szAttribute[8];       /* 539: "d" for a directory, "-" for a file, then the permission digits */
  char szMode[8];            /* 547: method, e.g. "-lh5-" */
  uint8_t reserved2[3];      /* 555 */
  uint64_t ftWriteTime;      /* 558: FILETIME (100 ns since 1601-01-01 UTC), completed by the caller */
  uint64_t ftAccessTime;     /* 566 */
  uint64_t ftCreateTime;     /* 574 */
  uint64_t llOriginalSize;   /* 582 */
  uint64_t llCompressedSize; /* 590 */
} TArchiveEntry;

/* The progress record handed to the owner's procedure. */
typedef struct TUnlhaProgress {
  uint32_t dwFileSize;        /* 0: member size (low 32 bits) */
  uint32_t dwWriteSize;       /* 4: bytes of the member processed so far (low 32 bits) */
  char szSourceFileName[513]; /* 8: member name */
  uint8_t reserved1[3];       /* 521 */
  char szDestFileName[513];   /* 524: file written or read on disk, "" when none */
  uint8_t reserved2[3];       /* 1037 */
  uint32_t dwCompressedSize;  /* 1040 */
  uint32_t dwCRC;             /* 1044 */
  uint16_t uOSType;           /* 1048 */
  uint16_t wRatio;            /* 1050 */
  uint16_t wDate;             /* 1052 */
  uint16_t wTime;             /* 1054 */
  char szAttribute[8];        /* 1056 */
  char szMode[8];             /* 1064 */
  uint16_t reserved3;         /* 1072 */
} TUnlhaProgress;

#pragma pack(pop)

/* The progress procedure: nonzero asks the running operation to stop. */
typedef int (*UnlhaProgressProc)(void* owner, uint32_t state, TUnlhaProgress* record);

/* What an owner registered without a callback points to. */
typedef struct TUnlhaOwnerWindow {
  UnlhaProgressProc procedure;
  void* userData;
} TUnlhaOwnerWindow;

/* Runs one command text:
 *   letter [switches] "archive" [basedir/] [names... | @responsefile]
 * Letters: a (add or replace), u (add, or replace unless the file is older than its member), f (as u for
 * members already in the archive, nothing added), d (delete),
 * x (extract with relative paths), e (extract bare names), l and v (listing into `output`), t (test CRCs).
 * Switches (the others are accepted and ignored):
 *   -x0 bare names (store and extract the last name component), -x1 relative paths;
 *   -r, -r1, -r2 recurse into folders when adding; -r0 does not;
 *   -lh0- store, -lh4-, -lh5- (default), -lh6-, -lh7- choose the method for new members;
 *   -jx"pattern" leave out files or members matching the pattern.
 * Tokens are separated by blanks outside quotes. A token that begins with a quote is a name (the archive,
 * the base directory or a file to add or extract), whatever it starts with inside the quotes ("-x.txt",
 * "@list" are names); within quotes two quotes ("") stand for one quote character, and blanks and line
 * breaks belong to the name. A token that begins with an unquoted "-" is a switch, whose text value may be
 * quoted (-jx"*.tmp"); one that begins with an unquoted "@" names a response file (@"list.txt"). Other
 * unquoted tokens are names as well.
 * The base directory is the token after the archive that ends in "/" (or "\"): names to add are read
 * relative to it, and extraction writes into it (default: the current directory). A response file holds
 * one name per line: quoted as on the command (then it may span lines) or the line's text without the
 * blanks at its ends.
 * Adding takes regular files (and folders with -r): a named file of another kind (a FIFO, a socket, a
 * device) fails the command before anything is written; such files, and links that lead nowhere, found by
 * a wildcard or below a folder are left out. Extraction writes no more than each member's declared size,
 * overwrites no file it wrote itself, creates no symbolic links (each of these is a nonzero status) and
 * stops at once when the disk is full (UNLHA_ERROR_DISK_FULL).
 * `output` receives a short report, truncated to outputSize and always NUL-terminated; a null output or a
 * size of 0 receives nothing. Returns UNLHA_OK or an UNLHA_ERROR_ code. */
int Unlha(void* owner, const char* command, char* output, uint32_t outputSize);

/* Opens an archive for listing; 0 on failure. `mode` is accepted and ignored. */
void* UnlhaOpenArchive(void* owner, const char* archivePath, uint32_t mode);
int UnlhaCloseArchive(void* archive);

/* 0 = entry filled, -1 = no (further) entry, other = error code (bad handle, damaged header).
 * UNLHA_ERROR_BAD_NAME: the entry is filled, but its name does not decode (see "Member names"); FindNext
 * goes on with the next entry. The wildcard matches the whole member name; "*" and "*.*" match every
 * member, '?' one character. */
int UnlhaFindFirst(void* archive, const char* wildcard, TArchiveEntry* entry);
int UnlhaFindNext(void* archive, TArchiveEntry* entry);

/* Nonzero when the file is an LHA archive whose headers all read correctly. `mode` is ignored. */
int UnlhaCheckArchive(const char* archivePath, int mode);

/* Owner registration for progress reports (see the top of this file); nonzero = accepted. */
int UnlhaSetOwnerWindowEx(void* owner, void* callback);
int UnlhaKillOwnerWindowEx(void* owner);

/* About the entry last returned by FindFirst/FindNext; nonzero = filled. Times are FILETIME values.
 * Archives that store only a last-write time answer it for the access and creation times as well. */
int UnlhaGetWriteTimeEx(void* archive, uint64_t* fileTime);
int UnlhaGetCreateTimeEx(void* archive, uint64_t* fileTime);
int UnlhaGetAccessTimeEx(void* archive, uint64_t* fileTime);
int UnlhaGetOriginalSizeEx(void* archive, uint64_t* size);
int UnlhaGetCompressedSizeEx(void* archive, uint64_t* size);

/* 1 for an LHA archive, 0 otherwise. */
int UnlhaGetArchiveType(const char* archivePath);

/* Extracts one member into memory. The command text is an optional letter, switches, the quoted archive
 * name and the member name (the first member when none is given). Up to bufferSize bytes are written to
 * `buffer`; a larger member returns UNLHA_ERROR_BUFFER with nothing reported as written. When non-null,
 * *fileTime receives the last-write FILETIME, *attributes the Unix mode bits and *writeSize the member
 * size. The member's CRC is checked; on a mismatch UNLHA_ERROR_CRC is returned and *writeSize is 0. */
int UnlhaExtractMem(void* owner, const char* command, void* buffer, uint32_t bufferSize, uint64_t* fileTime,
                    uint32_t* attributes, uint32_t* writeSize);

/* Reads one stored (-lh0-) member in pieces straight into the caller's buffers, for a caller that
 * transforms the bytes on their way (a decryption) and would otherwise extract a copy of them first.
 * UnlhaOpenMember finds the first file member whose name is exactly `memberName` as FindFirst lists it (no
 * wildcards). It returns a handle, or 0 with *status (when non-null) saying why: UNLHA_ERROR_COMMAND (a
 * null path or name), UNLHA_ERROR_FILE_OPEN, UNLHA_ERROR_NOT_ARCHIVE, UNLHA_ERROR_NOT_FOUND,
 * UNLHA_ERROR_UNSAFE_NAME (a symbolic link), UNLHA_ERROR_METHOD (a compressed member, to be extracted
 * instead) or UNLHA_ERROR_BROKEN_DATA (a stored member whose two sizes differ). *size (when non-null)
 * receives the member's size. UnlhaReadMember reads up to bufferSize bytes from where the last read ended;
 * *got receives their count, 0 once the member has been read. It returns 0; UNLHA_ERROR_FILE_OPEN when the
 * archive cannot be read; UNLHA_ERROR_HANDLE; UNLHA_ERROR_BUFFER for a null buffer of nonzero size; or
 * UNLHA_ERROR_CRC, on the read that reaches the end and on every read after it, when the member's bytes do
 * not match its CRC: the caller must then discard everything it read. No progress is reported. One thread at
 * a time may use a handle. */
void* UnlhaOpenMember(const char* archivePath, const char* memberName, uint64_t* size, int* status);
int UnlhaReadMember(void* member, void* buffer, uint32_t bufferSize, uint32_t* got);
int UnlhaCloseMember(void* member);

#ifdef __cplusplus
}

static_assert(sizeof(TArchiveEntry) == 598, "TArchiveEntry is 598 bytes");
static_assert(offsetof(TArchiveEntry, dwCompressedSize) == 4);
static_assert(offsetof(TArchiveEntry, wDate) == 22);
static_assert(offsetof(TArchiveEntry, wTime) == 24);
static_assert(offsetof(TArchiveEntry, szFileName) == 26);
static_assert(offsetof(TArchiveEntry, szAttribute) == 539);
static_assert(offsetof(TArchiveEntry, ftWriteTime) == 558);
static_assert(offsetof(TArchiveEntry, ftAccessTime) == 566);
static_assert(offsetof(TArchiveEntry, ftCreateTime) == 574);
static_assert(offsetof(TArchiveEntry, llOriginalSize) == 582);
static_assert(offsetof(TArchiveEntry, llCompressedSize) == 590);
static_assert(sizeof(TUnlhaProgress) == 1074, "the progress record is 1074 bytes");
static_assert(offsetof(TUnlhaProgress, szSourceFileName) == 8);
static_assert(offsetof(TUnlhaProgress, szDestFileName) == 524);
#endif

#endif
