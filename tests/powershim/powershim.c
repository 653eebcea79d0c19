/* Recorder for the power-loss test (Linux): loaded with LD_PRELOAD into the
 * tool, it appends to the log RAV_POWER_LOG, in order, every call that
 * changes a file below the folder RAV_POWER_ROOT, and passes every call on
 * to libc unchanged. With RAV_POWER_NOSYNC set, fsync and fdatasync return
 * success without flushing or being logged: a writer that never flushes.
 *
 * A record is one line, the file by inode number (a descriptor's file) or
 * by absolute path (a name):
 *   open INO FLAGS PATH     an open that may write (flags in hex)
 *   write INO OFFSET LEN    followed by the LEN bytes written at OFFSET
 *   trunc INO LEN           ftruncate
 *   fsync INO               fsync or fdatasync of a file
 *   dsync PATH              fsync of a folder
 *   rename OLD NEW
 *   unlink PATH
 * Only successful calls are logged. Not recorded: mkdir, links, metadata
 * (modes, owners, extended attributes), pwrite, writev, renameat, unlinkat,
 * descriptors from dup or from openat with a folder's descriptor, none of
 * which the tool uses on a store. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kMaxFds = 4096 };

static char g_abUnder[kMaxFds]; /* 1: the descriptor's file is below root */

#define REAL(name, type)    \
  static type pReal = NULL; \
  if (pReal == NULL) pReal = (type)dlsym(RTLD_NEXT, name)

/* The absolute form of a path relative to the current folder. */
static void Absolute(const char* pszPath, char* pszOut) {
  if (pszPath[0] == '/' || getcwd(pszOut, PATH_MAX) == NULL) {
    snprintf(pszOut, PATH_MAX, "%s", pszPath);
    return;
  }
  size_t nLen = strlen(pszOut);
  snprintf(pszOut + nLen, PATH_MAX - nLen, "/%s", pszPath);
}

static int IsUnder(const char* pszAbs) {
  const char* pszRoot = getenv("RAV_POWER_ROOT");
  size_t nLen = pszRoot != NULL ? strlen(pszRoot) : 0;
  return nLen > 0 && strncmp(pszAbs, pszRoot, nLen) == 0 &&
         (pszAbs[nLen] == '/' || pszAbs[nLen] == '\0');
}

/* Appends one record (and nLen bytes of data) to the log; a log that cannot
 * be written ends the process, so that the test never judges a short log. */
static void Log(const void* pData, size_t nLen, const char* pszFormat, ...) {
  const char* pszLog = getenv("RAV_POWER_LOG");
  FILE* pFile = pszLog != NULL ? fopen(pszLog, "ae") : NULL;
  if (pFile == NULL) _exit(98);
  va_list ap;
  va_start(ap, pszFormat);
  int bOk = vfprintf(pFile, pszFormat, ap) >= 0 &&
            fwrite(pData, 1, nLen, pFile) == nLen;
  va_end(ap);
  if (fclose(pFile) != 0 || !bOk) _exit(98);
}

static int Tracked(int nFd) {
  return nFd >= 0 && nFd < kMaxFds && g_abUnder[nFd];
}

static unsigned long Inode(int nFd, int* pIsDir) {
  struct stat st;
  if (fstat(nFd, &st) != 0) _exit(98);
  *pIsDir = S_ISDIR(st.st_mode);
  return (unsigned long)st.st_ino;
}

static int DoOpenAt(const char* pszName, int nDirFd, const char* pszPath,
                    int nFlags, mode_t nMode) {
  typedef int (*Fn)(int, const char*, int, ...);
  REAL(pszName, Fn);
  int nFd = pReal(nDirFd, pszPath, nFlags, nMode);
  if (nFd < 0 || nFd >= kMaxFds) return nFd;
  char szAbs[PATH_MAX];
  Absolute(pszPath, szAbs);
  g_abUnder[nFd] = (char)(nDirFd == AT_FDCWD && IsUnder(szAbs));
  int bDir = 0;
  if (g_abUnder[nFd] && (nFlags & (O_CREAT | O_TRUNC | O_WRONLY | O_RDWR)) != 0)
    Log("", 0, "open %lu %x %s\n", Inode(nFd, &bDir), nFlags, szAbs);
  return nFd;
}

static mode_t ModeArg(int nFlags, va_list ap) {
  return (nFlags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(ap, mode_t) : 0;
}

#define OPEN_FN(name, real, dirfd, ...)                        \
  int name(__VA_ARGS__ const char* pszPath, int nFlags, ...) { \
    va_list ap;                                                \
    va_start(ap, nFlags);                                      \
    mode_t nMode = ModeArg(nFlags, ap);                        \
    va_end(ap);                                                \
    return DoOpenAt(real, dirfd, pszPath, nFlags, nMode);      \
  }

OPEN_FN(openat, "openat", nDirFd, int nDirFd, )
OPEN_FN(openat64, "openat64", nDirFd, int nDirFd, )
OPEN_FN(open, "openat", AT_FDCWD, )
OPEN_FN(open64, "openat64", AT_FDCWD, )

ssize_t write(int nFd, const void* pBuf, size_t nLen) {
  typedef ssize_t (*Fn)(int, const void*, size_t);
  REAL("write", Fn);
  ssize_t nWritten = pReal(nFd, pBuf, nLen);
  if (nWritten <= 0 || !Tracked(nFd)) return nWritten;
  int nErr = errno, bDir = 0;
  off_t nEnd = lseek(nFd, 0, SEEK_CUR);
  if (nEnd < 0) _exit(98);
  Log(pBuf, (size_t)nWritten, "write %lu %lld %zd\n", Inode(nFd, &bDir),
      (long long)(nEnd - nWritten), nWritten);
  errno = nErr;
  return nWritten;
}

int ftruncate(int nFd, off_t nLen) {
  typedef int (*Fn)(int, off_t);
  REAL("ftruncate", Fn);
  int nRet = pReal(nFd, nLen);
  int bDir = 0;
  if (nRet == 0 && Tracked(nFd))
    Log("", 0, "trunc %lu %lld\n", Inode(nFd, &bDir), (long long)nLen);
  return nRet;
}

/* A folder is logged by its path, which /proc knows for the descriptor. */
static int DoSync(const char* pszName, int nFd) {
  typedef int (*Fn)(int);
  REAL(pszName, Fn);
  if (getenv("RAV_POWER_NOSYNC") != NULL) return 0;
  int nRet = pReal(nFd);
  if (nRet != 0 || !Tracked(nFd)) return nRet;
  int bDir = 0;
  unsigned long nIno = Inode(nFd, &bDir);
  char szLink[64], szPath[PATH_MAX];
  snprintf(szLink, sizeof szLink, "/proc/self/fd/%d", nFd);
  ssize_t nLen = bDir ? readlink(szLink, szPath, sizeof szPath - 1) : 0;
  if (nLen < 0) _exit(98);
  szPath[nLen] = '\0';
  if (bDir) Log("", 0, "dsync %s\n", szPath);
  if (!bDir) Log("", 0, "fsync %lu\n", nIno);
  return 0;
}

int fsync(int nFd) { return DoSync("fsync", nFd); }
int fdatasync(int nFd) { return DoSync("fdatasync", nFd); }

int close(int nFd) {
  typedef int (*Fn)(int);
  REAL("close", Fn);
  if (nFd >= 0 && nFd < kMaxFds) g_abUnder[nFd] = 0;
  return pReal(nFd);
}

static void LogRename(const char* pszOld, const char* pszNew) {
  char szOld[PATH_MAX], szNew[PATH_MAX];
  Absolute(pszOld, szOld);
  Absolute(pszNew, szNew);
  if (IsUnder(szOld) || IsUnder(szNew))
    Log("", 0, "rename %s %s\n", szOld, szNew);
}

int rename(const char* pszOld, const char* pszNew) {
  typedef int (*Fn)(const char*, const char*);
  REAL("rename", Fn);
  int nRet = pReal(pszOld, pszNew);
  if (nRet == 0) LogRename(pszOld, pszNew);
  return nRet;
}

int unlink(const char* pszPath) {
  typedef int (*Fn)(const char*);
  REAL("unlink", Fn);
  int nRet = pReal(pszPath);
  char szAbs[PATH_MAX];
  Absolute(pszPath, szAbs);
  if (nRet == 0 && IsUnder(szAbs)) Log("", 0, "unlink %s\n", szAbs);
  return nRet;
}
