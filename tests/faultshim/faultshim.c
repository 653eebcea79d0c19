/* Fault injection for the end-to-end tests (Linux): loaded with LD_PRELOAD
 * into the tool, it makes chosen file-system calls fail the way a sick disk,
 * a full disk or a refusing file system would.
 *
 * RAV_FAULT holds rules separated by ';', each CALL:ERR:N[:COUNT]:PATTERN
 *   CALL     open (open, openat and their 64 forms), read, write, fsync
 *            (fsync, fdatasync), close, rename (rename, renameat,
 *            renameat2), unlink (unlink, unlinkat), stat (the queries by
 *            path that glibc exports: stat, lstat, fstatat, their 64
 *            forms, statx)
 *   ERR      an errno name (EIO, ENOSPC, EACCES, EPERM, EXDEV, EROFS,
 *            EDQUOT, EBUSY, ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP), or EOF:
 *            the read returns 0 as at the end of the file
 *   N        the first matching call that fails (1 is the first)
 *   COUNT    how many matching calls fail from there on, '*' for all;
 *            default 1
 *   PATTERN  a glob (when it holds * ? or [) matched against the whole
 *            path, else a part of the path
 * A call matches a rule when its path (for rename: either path; for
 * read, write, fsync and close: the path the descriptor was opened with)
 * matches; every rule counts its own matching calls. A failing close still
 * closes the descriptor, as Linux does. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kOpen, kRead, kWrite, kSync, kClose, kRename, kUnlink, kStat };
enum { kMaxRules = 16, kMaxFds = 4096, kEof = -1, kAll = -1 };

struct Rule {
  int nCall;
  int nErr;
  long nFirst;
  long nCount;
  long nSeen;
  char szPattern[256];
};

static struct Rule g_aRules[kMaxRules];
static int g_nRules = -1; /* -1: RAV_FAULT not read yet */
static char* g_apFdPath[kMaxFds];

static const char* const kCallNames[] = {"open",  "read",   "write",  "fsync",
                                         "close", "rename", "unlink", "stat"};

static const struct {
  const char* pszName;
  int nErr;
} kErrNames[] = {{"EIO", EIO},
                 {"ENOSPC", ENOSPC},
                 {"EACCES", EACCES},
                 {"EPERM", EPERM},
                 {"EXDEV", EXDEV},
                 {"EROFS", EROFS},
                 {"EDQUOT", EDQUOT},
                 {"EBUSY", EBUSY},
                 {"ENOENT", ENOENT},
                 {"ENOTDIR", ENOTDIR},
                 {"ENAMETOOLONG", ENAMETOOLONG},
                 {"ELOOP", ELOOP},
                 {"EOF", kEof}};

static int LookUpCall(const char* pszName) {
  for (int i = 0; i < (int)(sizeof kCallNames / sizeof *kCallNames); ++i)
    if (strcmp(pszName, kCallNames[i]) == 0) return i;
  return -1;
}

static int LookUpErr(const char* pszName, int* pErr) {
  for (size_t i = 0; i < sizeof kErrNames / sizeof *kErrNames; ++i) {
    if (strcmp(pszName, kErrNames[i].pszName) != 0) continue;
    *pErr = kErrNames[i].nErr;
    return 1;
  }
  return 0;
}

/* A rule the tests got wrong must not pass as "no fault": it ends the
 * process with a message and the exit code 99. */
static void BadSpec(const char* pszRule) {
  fprintf(stderr, "faultshim: bad rule '%s'\n", pszRule);
  _exit(99);
}

/* Parses one rule, written into pszRule's own buffer. */
static void ParseRule(char* pszRule) {
  char* apField[5] = {0};
  int nFields = 0;
  char* pszSave = NULL;
  for (char* p = strtok_r(pszRule, ":", &pszSave); p != NULL && nFields < 5;
       p = strtok_r(NULL, ":", &pszSave))
    apField[nFields++] = p;
  if (nFields < 4 || g_nRules >= kMaxRules) BadSpec(pszRule);
  struct Rule* pRule = &g_aRules[g_nRules];
  pRule->nCall = LookUpCall(apField[0]);
  pRule->nFirst = atol(apField[2]);
  pRule->nCount = 1;
  if (nFields == 5)
    pRule->nCount = strcmp(apField[3], "*") == 0 ? kAll : atol(apField[3]);
  const char* pszPattern = apField[nFields - 1];
  if (pRule->nCall < 0 || !LookUpErr(apField[1], &pRule->nErr) ||
      (pRule->nErr == kEof && pRule->nCall != kRead) || pRule->nFirst < 1 ||
      pRule->nCount == 0 || strlen(pszPattern) >= sizeof pRule->szPattern)
    BadSpec(pszPattern);
  strcpy(pRule->szPattern, pszPattern);
  ++g_nRules;
}

static void LoadRules(void) {
  if (g_nRules >= 0) return;
  g_nRules = 0;
  const char* pszSpec = getenv("RAV_FAULT");
  if (pszSpec == NULL) return;
  char* pszCopy = strdup(pszSpec);
  if (pszCopy == NULL) BadSpec(pszSpec);
  char* pszSave = NULL;
  for (char* p = strtok_r(pszCopy, ";", &pszSave); p != NULL;
       p = strtok_r(NULL, ";", &pszSave))
    ParseRule(p);
  free(pszCopy);
}

static int Matches(const char* pszPattern, const char* pszPath) {
  if (pszPath == NULL) return 0;
  if (strpbrk(pszPattern, "*?[") != NULL)
    return fnmatch(pszPattern, pszPath, 0) == 0;
  return strstr(pszPath, pszPattern) != NULL;
}

/* Counts the call against every rule for its kind and path; returns the
 * rule's error (or kEof) when one makes it fail, else 0. */
static int Hit(int nCall, const char* pszPath, const char* pszPath2) {
  LoadRules();
  int nErr = 0;
  for (int i = 0; i < g_nRules; ++i) {
    struct Rule* pRule = &g_aRules[i];
    if (pRule->nCall != nCall || (!Matches(pRule->szPattern, pszPath) &&
                                  !Matches(pRule->szPattern, pszPath2)))
      continue;
    long nNth = ++pRule->nSeen;
    if (nErr == 0 && nNth >= pRule->nFirst &&
        (pRule->nCount == kAll || nNth < pRule->nFirst + pRule->nCount))
      nErr = pRule->nErr;
  }
  return nErr;
}

static const char* FdPath(int nFd) {
  return nFd >= 0 && nFd < kMaxFds ? g_apFdPath[nFd] : NULL;
}

static void Remember(int nFd, int nDirFd, const char* pszPath) {
  if (nFd < 0 || nFd >= kMaxFds) return;
  free(g_apFdPath[nFd]);
  const char* pszDir = nDirFd == AT_FDCWD ? NULL : FdPath(nDirFd);
  if (pszPath[0] == '/' || pszDir == NULL) {
    g_apFdPath[nFd] = strdup(pszPath);
  } else if (asprintf(&g_apFdPath[nFd], "%s/%s", pszDir, pszPath) < 0) {
    g_apFdPath[nFd] = NULL;
  }
}

static void Forget(int nFd) {
  if (nFd < 0 || nFd >= kMaxFds) return;
  free(g_apFdPath[nFd]);
  g_apFdPath[nFd] = NULL;
}

/* Sets errno for a failing call and returns -1. */
static int Fail(int nErr) {
  errno = nErr;
  return -1;
}

#define REAL(name, type)    \
  static type pReal = NULL; \
  if (pReal == NULL) pReal = (type)dlsym(RTLD_NEXT, name)

static int DoOpenAt(const char* pszName, int nDirFd, const char* pszPath,
                    int nFlags, mode_t nMode) {
  typedef int (*Fn)(int, const char*, int, ...);
  REAL(pszName, Fn);
  int nErr = Hit(kOpen, pszPath, NULL);
  if (nErr > 0) return Fail(nErr);
  int nFd = pReal(nDirFd, pszPath, nFlags, nMode);
  if (nFd >= 0) Remember(nFd, nDirFd, pszPath);
  return nFd;
}

/* The mode argument is there only when the flags create a file. */
static mode_t ModeArg(int nFlags, va_list ap) {
  return (nFlags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(ap, mode_t) : 0;
}

int openat(int nDirFd, const char* pszPath, int nFlags, ...) {
  va_list ap;
  va_start(ap, nFlags);
  mode_t nMode = ModeArg(nFlags, ap);
  va_end(ap);
  return DoOpenAt("openat", nDirFd, pszPath, nFlags, nMode);
}

int openat64(int nDirFd, const char* pszPath, int nFlags, ...) {
  va_list ap;
  va_start(ap, nFlags);
  mode_t nMode = ModeArg(nFlags, ap);
  va_end(ap);
  return DoOpenAt("openat64", nDirFd, pszPath, nFlags, nMode);
}

int open(const char* pszPath, int nFlags, ...) {
  va_list ap;
  va_start(ap, nFlags);
  mode_t nMode = ModeArg(nFlags, ap);
  va_end(ap);
  return DoOpenAt("openat", AT_FDCWD, pszPath, nFlags, nMode);
}

int open64(const char* pszPath, int nFlags, ...) {
  va_list ap;
  va_start(ap, nFlags);
  mode_t nMode = ModeArg(nFlags, ap);
  va_end(ap);
  return DoOpenAt("openat64", AT_FDCWD, pszPath, nFlags, nMode);
}

ssize_t read(int nFd, void* pBuf, size_t nLen) {
  typedef ssize_t (*Fn)(int, void*, size_t);
  REAL("read", Fn);
  int nErr = Hit(kRead, FdPath(nFd), NULL);
  if (nErr == kEof) return 0;
  if (nErr > 0) return Fail(nErr);
  return pReal(nFd, pBuf, nLen);
}

ssize_t write(int nFd, const void* pBuf, size_t nLen) {
  typedef ssize_t (*Fn)(int, const void*, size_t);
  REAL("write", Fn);
  int nErr = Hit(kWrite, FdPath(nFd), NULL);
  if (nErr > 0) return Fail(nErr);
  return pReal(nFd, pBuf, nLen);
}

int fsync(int nFd) {
  typedef int (*Fn)(int);
  REAL("fsync", Fn);
  int nErr = Hit(kSync, FdPath(nFd), NULL);
  return nErr > 0 ? Fail(nErr) : pReal(nFd);
}

int fdatasync(int nFd) {
  typedef int (*Fn)(int);
  REAL("fdatasync", Fn);
  int nErr = Hit(kSync, FdPath(nFd), NULL);
  return nErr > 0 ? Fail(nErr) : pReal(nFd);
}

int close(int nFd) {
  typedef int (*Fn)(int);
  REAL("close", Fn);
  int nErr = Hit(kClose, FdPath(nFd), NULL);
  Forget(nFd);
  int nRet = pReal(nFd);
  return nErr > 0 ? Fail(nErr) : nRet;
}

int renameat2(int nOldDir, const char* pszOld, int nNewDir, const char* pszNew,
              unsigned nFlags) {
  typedef int (*Fn)(int, const char*, int, const char*, unsigned);
  REAL("renameat2", Fn);
  int nErr = Hit(kRename, pszOld, pszNew);
  return nErr > 0 ? Fail(nErr)
                  : pReal(nOldDir, pszOld, nNewDir, pszNew, nFlags);
}

int renameat(int nOldDir, const char* pszOld, int nNewDir, const char* pszNew) {
  typedef int (*Fn)(int, const char*, int, const char*);
  REAL("renameat", Fn);
  int nErr = Hit(kRename, pszOld, pszNew);
  return nErr > 0 ? Fail(nErr) : pReal(nOldDir, pszOld, nNewDir, pszNew);
}

int rename(const char* pszOld, const char* pszNew) {
  typedef int (*Fn)(const char*, const char*);
  REAL("rename", Fn);
  int nErr = Hit(kRename, pszOld, pszNew);
  return nErr > 0 ? Fail(nErr) : pReal(pszOld, pszNew);
}

int unlinkat(int nDirFd, const char* pszPath, int nFlags) {
  typedef int (*Fn)(int, const char*, int);
  REAL("unlinkat", Fn);
  int nErr = Hit(kUnlink, pszPath, NULL);
  return nErr > 0 ? Fail(nErr) : pReal(nDirFd, pszPath, nFlags);
}

int unlink(const char* pszPath) {
  typedef int (*Fn)(const char*);
  REAL("unlink", Fn);
  int nErr = Hit(kUnlink, pszPath, NULL);
  return nErr > 0 ? Fail(nErr) : pReal(pszPath);
}

/* The path queries. The tool imports stat and lstat; the others are here so
 * that a query through any entry point glibc 2.36 exports can fail. A query
 * by descriptor (fstat) has no path of its own and is not one of them. */
#define STAT_BY_PATH(name, type)                          \
  int name(const char* pszPath, struct type* pStat) {     \
    typedef int (*Fn)(const char*, struct type*);         \
    REAL(#name, Fn);                                      \
    int nErr = Hit(kStat, pszPath, NULL);                 \
    return nErr > 0 ? Fail(nErr) : pReal(pszPath, pStat); \
  }

STAT_BY_PATH(stat, stat)
STAT_BY_PATH(stat64, stat64)
STAT_BY_PATH(lstat, stat)
STAT_BY_PATH(lstat64, stat64)

#define STAT_AT(name, type)                                                   \
  int name(int nDirFd, const char* pszPath, struct type* pStat, int nFlags) { \
    typedef int (*Fn)(int, const char*, struct type*, int);                   \
    REAL(#name, Fn);                                                          \
    int nErr = Hit(kStat, pszPath, NULL);                                     \
    return nErr > 0 ? Fail(nErr) : pReal(nDirFd, pszPath, pStat, nFlags);     \
  }

STAT_AT(fstatat, stat)
STAT_AT(fstatat64, stat64)

int statx(int nDirFd, const char* pszPath, int nFlags, unsigned nMask,
          struct statx* pStat) {
  typedef int (*Fn)(int, const char*, int, unsigned, struct statx*);
  REAL("statx", Fn);
  int nErr = Hit(kStat, pszPath, NULL);
  return nErr > 0 ? Fail(nErr) : pReal(nDirFd, pszPath, nFlags, nMask, pStat);
}
