// The POSIX backend of the platform interface (Linux).
//
// Every path crossing the interface is CP932, because every name stored in
// the INI files is CP932. A Linux store has ordinary UTF-8 folder names, so
// each path is converted from CP932 to UTF-8 right before the system call,
// and the current directory from UTF-8 back to CP932. A path that does not
// convert is used with its raw bytes.
//
// Every system call goes through Sys, which keeps a failure with the call's
// name, the path and errno for PlatLastError.
#include <fcntl.h>
#include <grp.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"
#include "platform_internal.h"
#include "platform_test_helper.h"
#include "profile_reader.h"
#include "registry_export.h"

struct PlatFile {
  int nFd;
  std::string strPath;    // as the caller gave it, for the fault hooks
  std::string strNative;  // as the system has it, for errors
};

namespace {

const iconv_t kNoConv = reinterpret_cast<iconv_t>(-1);

// Converts all of strIn; returns false, leaving strOut alone, when some
// byte does not convert.
bool Convert(iconv_t hConv, const std::string& strIn, std::string& strOut) {
  if (hConv == kNoConv) return false;
  // Back to the initial shift state; this form of the call cannot fail.
  static_cast<void>(iconv(hConv, nullptr, nullptr, nullptr, nullptr));
  std::string strResult;
  char* pIn = const_cast<char*>(strIn.data());
  size_t nIn = strIn.size();
  char szBuf[512];
  for (bool bFlush = false; !bFlush;) {
    char* pOut = szBuf;
    size_t nOut = sizeof szBuf;
    bFlush = nIn == 0;
    size_t nRet = bFlush ? iconv(hConv, nullptr, nullptr, &pOut, &nOut)
                         : iconv(hConv, &pIn, &nIn, &pOut, &nOut);
    strResult.append(szBuf, pOut - szBuf);
    if (nRet == static_cast<size_t>(-1) && errno != E2BIG) return false;
    if (nRet == static_cast<size_t>(-1)) bFlush = false;
  }
  strOut = strResult;
  return true;
}

std::string ConvertOrKeep(iconv_t hConv, const std::string& strIn) {
  std::string strOut;
  return Convert(hConv, strIn, strOut) ? strOut : strIn;
}

// Converts CP932 text one character at a time, so that a character the
// target charset lacks becomes "?" and the rest still converts. Without a
// converter the text stays as it is.
std::string ConvertEachChar(iconv_t hConv, const std::string& strIn) {
  if (hConv == kNoConv) return strIn;
  std::string strOut;
  for (size_t nPos = 0; nPos < strIn.size();) {
    size_t nLen = PlatCharLen(strIn, nPos);
    std::string strChar;
    strOut += Convert(hConv, strIn.substr(nPos, nLen), strChar) ? strChar : "?";
    nPos += nLen;
  }
  return strOut;
}

// A locale without a real charset (the C locale says ASCII) still gets
// UTF-8: ASCII cannot hold the Japanese messages, and terminals speak UTF-8.
std::string ReadLocaleCharset() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return "UTF-8";
  std::string strCharset = nl_langinfo(CODESET);
  if (strCharset.empty() || strCharset == "ANSI_X3.4-1968" ||
      strCharset == "ASCII")
    return "UTF-8";
  return strCharset;
}

const char* LocaleCharset() {
  static const std::string strCharset = ReadLocaleCharset();
  return strCharset.c_str();
}

std::string NativePath(const std::string& strPath) {
  static const iconv_t hConv = iconv_open("UTF-8", "CP932");
  return ConvertOrKeep(hConv, strPath);
}

std::string PathFromNative(const std::string& strNative) {
  static const iconv_t hConv = iconv_open("CP932", "UTF-8");
  return ConvertOrKeep(hConv, strNative);
}

// Keeps errno's failure of pszCall on strNative for PlatLastError, with the
// path in CP932 like every other text of the tool; errno stays as it was.
void PosixError(const char* pszCall, const std::string& strNative) {
  int nErr = errno;
  PlatRecordError(pszCall, PathFromNative(strNative),
                  "errno " + std::to_string(nErr) + ", " + std::strerror(nErr));
  errno = nErr;
}

// The one wrapper of every system call of this backend: passes the call's
// result on and keeps a failure (a negative result) for PlatLastError.
template <typename Result>
Result Sys(const char* pszCall, const std::string& strNative, Result nResult) {
  if (nResult < 0) PosixError(pszCall, strNative);
  return nResult;
}

// Keeps a failure that is no system error, such as a file of the wrong kind.
void KindError(const char* pszCall, const std::string& strNative,
               const char* pszWhy) {
  PlatRecordError(pszCall, PathFromNative(strNative), pszWhy);
}

// Only these errors say that nothing stands at the path; every other
// failure leaves it unknown.
bool IsAbsent(int nErr) { return nErr == ENOENT || nErr == ENOTDIR; }

// Flags for opening a file that must be regular: O_NONBLOCK keeps open from
// waiting on a FIFO without a partner or on a device, and changes nothing for
// a regular file; O_NOCTTY keeps a terminal from becoming ours.
const int kNoWait = O_NONBLOCK | O_NOCTTY;

// open, again when a signal interrupts it; -1 with errno on failure.
int OpenNative(const std::string& strNative, int nFlags, mode_t nMode = 0) {
  int nFd;
  do {
    nFd = open(strNative.c_str(), nFlags | O_CLOEXEC, nMode);
  } while (nFd < 0 && errno == EINTR);
  return Sys("open", strNative, nFd);
}

// Tells whether the descriptor of strNative is a regular file; st gets its
// metadata.
bool IsRegularFd(int nFd, const std::string& strNative, struct stat& st) {
  if (Sys("fstat", strNative, fstat(nFd, &st)) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  KindError("fstat", strNative, "not a regular file");
  return false;
}

// Closes a descriptor whose work has failed already or that was only read:
// the answer no longer depends on close.
void Discard(int nFd) { static_cast<void>(close(nFd)); }

// Closes a descriptor whose close counts; true on success.
bool CloseFd(int nFd, const std::string& strNative) {
  return Sys("close", strNative, close(nFd)) == 0;
}

// Appends everything up to the end of the file to strOut.
bool ReadToEnd(int nFd, const std::string& strNative, std::string& strOut) {
  char szBuf[65536];
  for (;;) {
    ssize_t nRead = read(nFd, szBuf, sizeof szBuf);
    if (nRead < 0 && errno == EINTR) continue;
    if (Sys("read", strNative, nRead) <= 0) return nRead == 0;
    strOut.append(szBuf, static_cast<size_t>(nRead));
  }
}

// Tells whether the file is the running account's own and no one else may
// write it; a file planted in a shared folder is neither.
bool IsOwnFile(const struct stat& st, const std::string& strNative) {
  if (st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
    return true;
  KindError("fstat", strNative,
            "not the account's own, or others may write it");
  return false;
}

// Reads a whole regular file by its native path and gives PlatReadFile's
// code. With bOwn, a link is refused and so is a file IsOwnFile refuses;
// otherwise a link is followed.
int ReadNativeFile(const std::string& strNative, std::string& strData,
                   bool bOwn = false) {
  int nFd = OpenNative(strNative, O_RDONLY | kNoWait | (bOwn ? O_NOFOLLOW : 0));
  if (nFd < 0) return IsAbsent(errno) ? kPlatReadMissing : kPlatReadFailed;
  struct stat st;
  std::string strRead;
  bool bOk = IsRegularFd(nFd, strNative, st) &&
             (!bOwn || IsOwnFile(st, strNative)) &&
             ReadToEnd(nFd, strNative, strRead);
  if (!CloseFd(nFd, strNative)) bOk = false;
  if (!bOk) return kPlatReadFailed;
  strData.swap(strRead);
  return kPlatReadOk;
}

bool WriteAll(int nFd, const std::string& strNative, const char* pData,
              size_t nLen) {
  while (nLen > 0) {
    ssize_t nWritten = write(nFd, pData, nLen);
    if (nWritten < 0 && errno == EINTR) continue;
    if (nWritten == 0) KindError("write", strNative, "nothing written");
    if (Sys("write", strNative, nWritten) <= 0) return false;
    pData += nWritten;
    nLen -= static_cast<size_t>(nWritten);
  }
  return true;
}

// Opens a regular file for writing. A link at the path is never followed
// and anything but a regular file is refused without waiting: the result
// file and the trace log go to a current folder that others may share. An
// appended file must be the account's own (IsOwnFile); it is created with
// no write bit for others, whatever the umask.
PlatFileHandle OpenForWrite(const std::string& strPath, int nFlags) {
  if (PLAT_FAULT(kFaultCreate, strPath)) return nullptr;
  std::string strNative = NativePath(strPath);
  bool bAppend = (nFlags & O_APPEND) != 0;
  int nFd =
      OpenNative(strNative, O_WRONLY | O_CREAT | O_NOFOLLOW | kNoWait | nFlags,
                 bAppend ? 0644 : 0666);
  if (nFd < 0) return nullptr;
  // What O_EXCL just created is a regular file.
  struct stat st;
  if ((nFlags & O_EXCL) != 0 || (IsRegularFd(nFd, strNative, st) &&
                                 (!bAppend || IsOwnFile(st, strNative))))
    return PlatFileHandle(new PlatFile{nFd, strPath, strNative});
  Discard(nFd);
  return nullptr;
}

// Copies the open source of nSize bytes into the open destination; true iff
// every byte arrived and is on the disk. A read that ends before nSize (a
// sick disk) fails the copy rather than leaving the destination short.
bool CopyBytes(int nSrc, const std::string& strNativeSrc, int nDst,
               const std::string& strNativeDst, off_t nSize) {
  char szBuf[65536];
  off_t nCopied = 0;
  for (;;) {
    ssize_t nRead = read(nSrc, szBuf, sizeof szBuf);
    if (nRead < 0 && errno == EINTR) continue;
    if (Sys("read", strNativeSrc, nRead) < 0) return false;
    if (nRead == 0 && nCopied != nSize)
      KindError("read", strNativeSrc, "ended before its size");
    if (nRead == 0)
      return nCopied == nSize && Sys("fsync", strNativeDst, fsync(nDst)) == 0;
    if (!WriteAll(nDst, strNativeDst, szBuf, static_cast<size_t>(nRead)))
      return false;
    nCopied += nRead;
  }
}

// Opens the copy's destination emptied: a regular file, created when
// missing, never through a link. It is truncated only once it is known not
// to be the source itself, which O_TRUNC would wipe out. -1 on failure.
int OpenCopyTarget(const std::string& strNativeDst, const struct stat& stSrc) {
  int nDst = OpenNative(strNativeDst, O_WRONLY | O_CREAT | O_NOFOLLOW | kNoWait,
                        stSrc.st_mode & 0777);
  if (nDst < 0) return -1;
  struct stat st;
  bool bOk = IsRegularFd(nDst, strNativeDst, st);
  if (bOk && st.st_dev == stSrc.st_dev && st.st_ino == stSrc.st_ino) {
    KindError("open", strNativeDst, "the copy's own source");
    bOk = false;
  }
  if (bOk && Sys("ftruncate", strNativeDst, ftruncate(nDst, 0)) == 0)
    return nDst;
  Discard(nDst);
  return -1;
}

// Flushes a folder's entries, so that a rename in it survives a crash. Some
// file systems cannot sync a folder (EINVAL); their renames count as done.
bool SyncFolderOf(const std::string& strNative) {
  size_t nCut = strNative.rfind('/');
  std::string strFolder = nCut == std::string::npos
                              ? "."
                              : strNative.substr(0, nCut == 0 ? 1 : nCut);
  int nFd = OpenNative(strFolder, O_RDONLY | O_DIRECTORY);
  if (nFd < 0) return false;
  bool bOk = fsync(nFd) == 0 || errno == EINVAL;
  if (!bOk) PosixError("fsync", strFolder);
  return CloseFd(nFd, strFolder) && bOk;
}

// The replace's answer to a side that cannot be opened: O_NOFOLLOW met a
// link (ELOOP) or the path is a socket (ENXIO), or the system refuses, which
// the caller's copy onto the old file may still get past.
int ReplaceOpenError(int nErr) {
  if (nErr == ELOOP || nErr == ENXIO) return kPlatNotRegular;
  return nErr == EACCES || nErr == EPERM ? kPlatRefused : kPlatReplaceFailed;
}

// Tells whether the just opened side of the replace is a regular file, st
// getting its metadata; otherwise closes it and sets nResult.
bool KeepRegularSide(int nFd, const std::string& strNative, struct stat& st,
                     int& nResult) {
  bool bStat = Sys("fstat", strNative, fstat(nFd, &st)) == 0;
  if (bStat && S_ISREG(st.st_mode)) return true;
  if (bStat) KindError("fstat", strNative, "not a regular file");
  nResult = bStat ? kPlatNotRegular : kPlatReplaceFailed;
  Discard(nFd);
  return false;
}

// Opens the new side of the replace read-only for its metadata, never
// through a link and never waiting on a FIFO. -1 with nResult set on failure.
int OpenReplaceSide(const std::string& strNative, struct stat& st,
                    int& nResult) {
  int nFd = OpenNative(strNative, O_RDONLY | O_NOFOLLOW | kNoWait);
  if (nFd < 0) {
    nResult = ReplaceOpenError(errno);
    return -1;
  }
  return KeepRegularSide(nFd, strNative, st, nResult) ? nFd : -1;
}

// Opens the file that the replace takes the place of, the same way: nOld
// is -1 and the result kPlatReplaced when there is none.
int OpenOldSide(const std::string& strNativeDst, struct stat& st, int& nOld) {
  int nResult = kPlatReplaced;
  nOld = OpenNative(strNativeDst, O_RDONLY | O_NOFOLLOW | kNoWait);
  if (nOld < 0)
    return errno == ENOENT ? kPlatReplaced : ReplaceOpenError(errno);
  if (!KeepRegularSide(nOld, strNativeDst, st, nResult)) nOld = -1;
  return nResult;
}

// The two files of a replace, open: the new one and the old one it takes
// the place of, each with its native path and metadata.
struct Sides {
  int nNew;
  const std::string& strNew;
  struct stat stNew;
  int nOld;
  const std::string& strOld;
  const struct stat& stOld;
};

// Calls fnRead(pBuffer, nSize), a flistxattr or fgetxattr, with a buffer as
// large as it asks for; again when the value grew in between. The extra byte
// makes a grown value an ERANGE rather than a bare size query.
// A failure is kept as pszCall's on strNative.
template <typename ReadFn>
bool ReadSized(const char* pszCall, const std::string& strNative, ReadFn fnRead,
               std::string& strOut) {
  for (;;) {
    ssize_t nSize = Sys(pszCall, strNative, fnRead(nullptr, 0));
    if (nSize < 0) return false;
    if (nSize == 0) {
      strOut.clear();
      return true;
    }
    std::string strBuf(static_cast<size_t>(nSize) + 1, '\0');
    nSize = fnRead(&strBuf[0], strBuf.size());
    if (nSize < 0 && errno == ERANGE) continue;
    if (Sys(pszCall, strNative, nSize) < 0) return false;
    strBuf.resize(static_cast<size_t>(nSize));
    strOut.swap(strBuf);
    return true;
  }
}

// Reads the names of a file's extended attributes; a file system without
// them (ENOTSUP) has none.
bool ListXattrs(int nFd, const std::string& strNative,
                std::vector<std::string>& vNames) {
  std::string strList;
  if (!ReadSized(
          "flistxattr", strNative,
          [nFd](char* p, size_t n) { return flistxattr(nFd, p, n); }, strList))
    return errno == ENOTSUP;
  for (size_t nPos = 0; nPos < strList.size();) {
    size_t nEnd = strList.find('\0', nPos);
    if (nEnd == std::string::npos) nEnd = strList.size();
    vNames.push_back(strList.substr(nPos, nEnd - nPos));
    nPos = nEnd + 1;
  }
  return true;
}

// Copies one attribute; an attribute removed meanwhile counts as copied.
bool CopyXattr(int nOld, const std::string& strNativeOld, int nNew,
               const std::string& strNativeNew, const std::string& strName) {
  std::string strValue;
  if (!ReadSized(
          "fgetxattr", strNativeOld,
          [nOld, &strName](char* p, size_t n) {
            return fgetxattr(nOld, strName.c_str(), p, n);
          },
          strValue))
    return errno == ENODATA;
  return Sys("fsetxattr", strNativeNew,
             fsetxattr(nNew, strName.c_str(), strValue.data(), strValue.size(),
                       0)) == 0;
}

// Makes the new file's extended attributes exactly the old file's: each of
// the old one's set, any other removed (an access ACL inherited from the
// folder's default ACL, say). POSIX ACLs are the attributes
// system.posix_acl_*, so the ACL comes along; it is set after fchmod, so
// that its mask is the group permission again. A refusal is kPlatRefused:
// the caller's copy onto the old file keeps everything.
int TakeOverXattrs(const Sides& sides, bool& bChanged) {
  std::vector<std::string> vOld;
  std::vector<std::string> vNew;
  if (!ListXattrs(sides.nOld, sides.strOld, vOld) ||
      !ListXattrs(sides.nNew, sides.strNew, vNew))
    return kPlatRefused;
  bChanged = !vOld.empty() || !vNew.empty();
  for (const std::string& strName : vOld)
    if (!CopyXattr(sides.nOld, sides.strOld, sides.nNew, sides.strNew, strName))
      return kPlatRefused;
  for (const std::string& strName : vNew)
    if (std::find(vOld.begin(), vOld.end(), strName) == vOld.end() &&
        fremovexattr(sides.nNew, strName.c_str()) != 0 && errno != ENODATA) {
      PosixError("fremovexattr", sides.strNew);
      return kPlatRefused;
    }
  return kPlatReplaced;
}

// Gives the new file the old file's owner and mode. A refused owner change
// (another user's file) is kPlatRefused: the caller's copy onto the old
// file then keeps its owner.
// The mode is set only when it differs or the owner changed (which may
// clear set-ID bits): a change of the inode would cost its own journal
// commit at the flush before the rename.
int TakeOverOwnerAndMode(const Sides& sides) {
  const struct stat& stNew = sides.stNew;
  const struct stat& stOld = sides.stOld;
  bool bOwner = stNew.st_uid != stOld.st_uid || stNew.st_gid != stOld.st_gid;
  if (bOwner && Sys("fchown", sides.strNew,
                    fchown(sides.nNew, stOld.st_uid, stOld.st_gid)) != 0)
    return errno == EPERM ? kPlatRefused : kPlatReplaceFailed;
  bool bMode = (stNew.st_mode & 07777) != (stOld.st_mode & 07777);
  if ((bOwner || bMode) && Sys("fchmod", sides.strNew,
                               fchmod(sides.nNew, stOld.st_mode & 07777)) != 0)
    return kPlatReplaceFailed;
  return kPlatReplaced;
}

// Checks that the new file ended up with the old one's owner and mode.
// Setting an ACL can change the group bits, and the system silently drops
// the set-group-ID bit for a caller outside the group: then the copy onto
// the old file has to keep them (kPlatRefused).
int CheckOwnerAndMode(const Sides& sides) {
  struct stat st;
  const struct stat& stOld = sides.stOld;
  if (Sys("fstat", sides.strNew, fstat(sides.nNew, &st)) != 0)
    return kPlatReplaceFailed;
  bool bSame = st.st_uid == stOld.st_uid && st.st_gid == stOld.st_gid &&
               (st.st_mode & 07777) == (stOld.st_mode & 07777);
  if (!bSame) KindError("fchmod", sides.strNew, "owner or mode not kept");
  return bSame ? kPlatReplaced : kPlatRefused;
}

// Gives the new file everything of the open old file that the rename would
// lose: owner, group, mode, ACL, extended attributes, all by descriptor.
// When none of them had to be set, the new file's own are already right
// and bChanged stays clear.
int TakeOverMetadata(const Sides& sides, bool& bChanged) {
  int nResult = TakeOverOwnerAndMode(sides);
  bool bXattrs = false;
  if (nResult == kPlatReplaced) nResult = TakeOverXattrs(sides, bXattrs);
  const struct stat& stNew = sides.stNew;
  const struct stat& stOld = sides.stOld;
  bool bSame = stNew.st_uid == stOld.st_uid && stNew.st_gid == stOld.st_gid &&
               (stNew.st_mode & 07777) == (stOld.st_mode & 07777);
  bChanged = bXattrs || !bSame;
  if (nResult == kPlatReplaced && bChanged) nResult = CheckOwnerAndMode(sides);
  return nResult;
}

// Prepares the source for the rename: a regular file with no other name
// (a planted hard link would keep the new content reachable elsewhere), the
// metadata of the old file when there is one (nOld, else -1). The caller
// flushed the data; metadata set here is flushed here.
int PrepareReplacement(const std::string& strNativeSrc,
                       const std::string& strNativeDst, int nOld,
                       const struct stat& stOld) {
  Sides sides{-1, strNativeSrc, {}, nOld, strNativeDst, stOld};
  int nResult = kPlatReplaced;
  sides.nNew = OpenReplaceSide(strNativeSrc, sides.stNew, nResult);
  if (sides.nNew < 0) return nResult;
  if (sides.stNew.st_nlink != 1) {
    KindError("open", strNativeSrc, "has another name (a hard link)");
    nResult = kPlatNotRegular;
  }
  bool bChanged = false;
  if (nResult == kPlatReplaced && nOld >= 0)
    nResult = TakeOverMetadata(sides, bChanged);
  if (nResult == kPlatReplaced && bChanged &&
      Sys("fsync", strNativeSrc, fsync(sides.nNew)) != 0)
    nResult = kPlatReplaceFailed;
  if (!CloseFd(sides.nNew, strNativeSrc) && nResult == kPlatReplaced)
    nResult = kPlatReplaceFailed;
  return nResult;
}

// rename's refusals that a copy onto the old file may still get past. EBUSY
// is none of them: the file is in use for a moment, and the caller's retry
// of the atomic replace is the safe answer, not a copy over the live file.
bool IsRefusal(int nErr) {
  return nErr == EXDEV || nErr == EISDIR || nErr == EPERM || nErr == EACCES;
}

bool IsAdminGroup(gid_t nGid) {
  const struct group* pGroup = getgrgid(nGid);
  if (pGroup == nullptr) return false;
  std::string strName = pGroup->gr_name;
  return strName == "sudo" || strName == "wheel" || strName == "admin";
}

// ---- Code page -----------------------------------------------------------

// The letters of CP932 that have a lower-case form, as Windows lower-cases
// them. Each range maps onto consecutive codes from nLower; the Cyrillic
// lower-case run skips 0x847F, which is no trail byte. The capital Roman
// numerals exist twice (NEC row 13 and IBM); both lower-case to the only
// small ones, the IBM codes. Windows also rewrites other NEC/IBM duplicate
// codes to their preferred form while lower-casing; that is no change of
// case and is not copied here.
struct CaseRange {
  unsigned nFirst;
  unsigned nLast;
  unsigned nLower;
};

const CaseRange kCaseRanges[] = {
    {0x41, 0x5A, 0x61},        // ASCII
    {0x8260, 0x8279, 0x8281},  // full-width Latin
    {0x839F, 0x83B6, 0x83BF},  // Greek
    {0x8440, 0x8460, 0x8470},  // Cyrillic
    {0x8754, 0x875D, 0xFA40},  // Roman numerals, NEC row 13
    {0xFA4A, 0xFA53, 0xFA40},  // Roman numerals, IBM
};

}  // namespace

char PlatPathSeparator() { return '/'; }

int PlatGetFileKind(const std::string& strPath) {
  struct stat st;
  std::string strNative = NativePath(strPath);
  if (Sys("stat", strNative, stat(strNative.c_str(), &st)) != 0)
    return IsAbsent(errno) ? kPlatMissing : kPlatQueryFailed;
  return S_ISDIR(st.st_mode) ? kPlatDir : kPlatFile;
}

bool PlatIsRegularFile(const std::string& strPath) {
  struct stat st;
  std::string strNative = NativePath(strPath);
  return Sys("lstat", strNative, lstat(strNative.c_str(), &st)) == 0 &&
         S_ISREG(st.st_mode);
}

// POSIX has no share modes, so a read is never busy; kFaultBusy lets the
// tests reach the caller's retries all the same.
int PlatReadFile(const std::string& strPath, std::string& strData) {
  if (PLAT_FAULT(kFaultRead, strPath)) return kPlatReadFailed;
  if (PLAT_FAULT(kFaultBusy, strPath)) return kPlatReadBusy;
  return ReadNativeFile(NativePath(strPath), strData);
}

int PlatReadOwnFile(const std::string& strPath, std::string& strData) {
  if (PLAT_FAULT(kFaultRead, strPath)) return kPlatReadFailed;
  return ReadNativeFile(NativePath(strPath), strData, true);
}

// O_EXCL fails on anything at the path, a dangling link included.
PlatFileHandle PlatCreateFile(const std::string& strPath) {
  return OpenForWrite(strPath, O_EXCL);
}

PlatFileHandle PlatOpenAppend(const std::string& strPath) {
  return OpenForWrite(strPath, O_APPEND);
}

bool PlatWrite(PlatFile* pFile, const std::string& strData) {
  if (PLAT_FAULT(kFaultWrite, pFile->strPath)) return false;
  return WriteAll(pFile->nFd, pFile->strNative, strData.data(), strData.size());
}

bool PlatSync(PlatFile* pFile) {
  if (PLAT_FAULT(kFaultSync, pFile->strPath)) return false;
  return Sys("fsync", pFile->strNative, fsync(pFile->nFd)) == 0;
}

// Nothing is buffered above the descriptor, so closing is the whole flush.
// A close that fails is not retried: on Linux the descriptor is gone anyway.
bool PlatClose(PlatFileHandle& pFile) {
  std::unique_ptr<PlatFile> pOpen(pFile.release());
  bool bFault = PLAT_FAULT(kFaultClose, pOpen->strPath);
  return CloseFd(pOpen->nFd, pOpen->strNative) && !bFault;
}

// Reached only on paths that have already failed, or that have no use for
// the result, so a failed close changes nothing.
void PlatFileCloser::operator()(PlatFile* pFile) const {
  Discard(pFile->nFd);
  delete pFile;
}

bool PlatCopyFile(const std::string& strSrc, const std::string& strDst) {
  if (PLAT_FAULT(kFaultCopy, strDst)) return false;
  std::string strNativeSrc = NativePath(strSrc);
  std::string strNativeDst = NativePath(strDst);
  int nSrc = OpenNative(strNativeSrc, O_RDONLY | O_NOFOLLOW | kNoWait);
  if (nSrc < 0) return false;
  struct stat st;
  int nDst = IsRegularFd(nSrc, strNativeSrc, st)
                 ? OpenCopyTarget(strNativeDst, st)
                 : -1;
  bool bOk = nDst >= 0 &&
             CopyBytes(nSrc, strNativeSrc, nDst, strNativeDst, st.st_size);
  if (nDst >= 0 && !CloseFd(nDst, strNativeDst)) bOk = false;
  if (!CloseFd(nSrc, strNativeSrc)) bOk = false;
  return bOk;
}

bool PlatDeleteFile(const std::string& strPath) {
  if (PLAT_FAULT(kFaultDelete, strPath)) return false;
  std::string strNative = NativePath(strPath);
  return Sys("unlink", strNative, unlink(strNative.c_str())) == 0;
}

int PlatReplaceFile(const std::string& strSrc, const std::string& strDst) {
  if (PLAT_FAULT(kFaultRefuse, strDst)) return kPlatRefused;
  if (PLAT_FAULT(kFaultReplace, strDst)) return kPlatReplaceFailed;
  std::string strNativeSrc = NativePath(strSrc);
  std::string strNativeDst = NativePath(strDst);
  // A Folder.ini that is a link is never written through, not even by the
  // copy fallback: the old side is opened without following links.
  struct stat stOld;
  int nOld = -1;
  int nResult = OpenOldSide(strNativeDst, stOld, nOld);
  if (nResult == kPlatReplaced)
    nResult = PrepareReplacement(strNativeSrc, strNativeDst, nOld, stOld);
  if (nOld >= 0) Discard(nOld);
  if (nResult != kPlatReplaced) return nResult;
  if (Sys("rename", strNativeSrc,
          rename(strNativeSrc.c_str(), strNativeDst.c_str())) != 0)
    return IsRefusal(errno) ? kPlatRefused : kPlatReplaceFailed;
  // The rename is done; a folder that cannot be synced may lose it in a crash.
  return SyncFolderOf(strNativeDst) ? kPlatReplaced : kPlatReplaceFailed;
}

bool PlatSyncFolderOf(const std::string& strPath) {
  return SyncFolderOf(NativePath(strPath));
}

bool PlatMakeDirectory(const std::string& strPath) {
  std::string strNative = NativePath(strPath);
  return Sys("mkdir", strNative, mkdir(strNative.c_str(), 0777)) == 0;
}

bool PlatGetCurrentDirectory(std::string& strDir) {
  std::vector<char> vBuf(4096);
  while (getcwd(vBuf.data(), vBuf.size()) == nullptr) {
    if (errno != ERANGE) {
      PosixError("getcwd", "");
      return false;
    }
    vBuf.resize(vBuf.size() * 2);
  }
  strDir = PathFromNative(vBuf.data());
  return true;
}

void PlatSleep(int nMilliseconds) {
  if (!PLAT_SLEEP_WAITS() || nMilliseconds <= 0) return;
  struct timespec tsLeft = {nMilliseconds / 1000,
                            (nMilliseconds % 1000) * 1000000L};
  while (nanosleep(&tsLeft, &tsLeft) != 0 && errno == EINTR) {
  }
}

// Linux has no registry: an administrator's REGEDIT4 export of the key
// stands in for it. Its path is native, straight from the environment.
int PlatReadAppPathsKey(std::string& strDefault, std::string& strVersion) {
  const char* pszPath = std::getenv("RAVERAZARIDUVIVI_REGISTRY");
  std::string strData;
  if (ReadNativeFile(
          pszPath != nullptr ? pszPath : "/etc/raverazariduvivi/registry.reg",
          strData) != kPlatReadOk)
    return 0;
  std::string strNewDefault;
  std::string strNewVersion;
  if (!ParseRegistryExport(strData, strNewDefault, strNewVersion)) return 0;
  strDefault = strNewDefault;
  strVersion = strNewVersion;
  return 1;
}

unsigned PlatGetPrivateProfileString(const char* pszSection, const char* pszKey,
                                     const char* pszDefault, char* pBuffer,
                                     unsigned nSize,
                                     const std::string& strIniPath) {
  std::string strData;
  if (PlatReadFile(strIniPath, strData) != kPlatReadOk) strData.clear();
  return ProfileGetString(strData, pszSection, pszKey, pszDefault, pBuffer,
                          nSize);
}

// A write beyond RLIMIT_FSIZE would end the process with SIGXFSZ; ignored,
// the write fails with EFBIG and the tool reports it like any failed write.
// signal fails only for a signal that cannot be caught or ignored, which
// SIGXFSZ is not, and nothing could be done about it before the run.
void PlatInitProcess() { static_cast<void>(std::signal(SIGXFSZ, SIG_IGN)); }

// A lock file stands in for the named mutex: flock is dropped by the system
// when the process ends, whichever way. The file is first opened without
// O_CREAT, because Linux refuses O_CREAT on another user's file in the
// sticky /tmp even when it exists (fs.protected_regular). Anyone may plant
// something at the name in /tmp: a link, FIFO or folder is refused, never
// followed or waited on.
int PlatAcquireSingleInstance(const char* pszName) {
  std::string strPath = NativePath(std::string("/tmp/") + pszName + ".lock");
  const int nFlags = O_RDONLY | O_NOFOLLOW | kNoWait;
  int nFd = OpenNative(strPath, nFlags);
  if (nFd < 0 && errno == ENOENT)
    nFd = OpenNative(strPath, nFlags | O_CREAT, 0644);
  if (nFd < 0) return 0;
  struct stat st;
  if (IsRegularFd(nFd, strPath, st) &&
      Sys("flock", strPath, flock(nFd, LOCK_EX | LOCK_NB)) == 0)
    return 1;  // nFd stays open
  // No lock to be had here; the answer is 0 whatever close says.
  Discard(nFd);
  return 0;
}

// Linux has no Administrators group: root, or a member of the group that
// may use sudo, counts as an administrator.
int PlatIsAdministrator() {
  if (geteuid() == 0) return kPlatAdmin;
  int nCount = Sys("getgroups", "", getgroups(0, nullptr));
  if (nCount < 0) return kPlatGroupsError;
  std::vector<gid_t> vGroups(static_cast<size_t>(nCount) + 1);
  nCount = Sys("getgroups", "", getgroups(nCount, vGroups.data()));
  if (nCount < 0) return kPlatGroupsError;
  vGroups[static_cast<size_t>(nCount)] = getegid();
  for (int nIndex = 0; nIndex <= nCount; ++nIndex)
    if (IsAdminGroup(vGroups[static_cast<size_t>(nIndex)])) return kPlatAdmin;
  return kPlatNotAdmin;
}

// Arguments arrive in the locale's charset; the tool works in CP932.
std::vector<std::string> PlatGetArguments(int argc, char** argv) {
  static const iconv_t hConv = iconv_open("CP932", LocaleCharset());
  std::vector<std::string> vArgs;
  for (int nIndex = 0; nIndex < argc; ++nIndex)
    vArgs.push_back(ConvertOrKeep(hConv, argv[nIndex]));
  return vArgs;
}

// POSIX keeps no command line, only the argument vector; it is joined back
// the way Windows would show it.
std::string PlatGetCommandLine(int argc, char** argv) {
  std::string strLine;
  for (const std::string& strArg : PlatGetArguments(argc, argv)) {
    bool bQuote =
        strArg.empty() || strArg.find_first_of(" \t") != std::string::npos;
    if (!strLine.empty()) strLine += ' ';
    strLine += bQuote ? "\"" + strArg + "\"" : strArg;
  }
  return strLine;
}

bool PlatWriteConsole(const std::string& strText) {
  static const iconv_t hConv = iconv_open(LocaleCharset(), "CP932");
  std::string strOut = ConvertEachChar(hConv, strText);
  bool bWritten =
      std::fwrite(strOut.data(), 1, strOut.size(), stdout) == strOut.size();
  return std::fflush(stdout) == 0 && bWritten;
}

std::string PlatAnsiToUtf8(const std::string& strText) {
  static const iconv_t hConv = iconv_open("UTF-8", "CP932");
  std::string strOut;
  if (Convert(hConv, strText, strOut)) return strOut;
  // Some character does not convert: the rest still does, one by one.
  for (size_t nPos = 0; nPos < strText.size();) {
    size_t nLen = PlatCharLen(strText, nPos);
    std::string strChar;
    strOut += Convert(hConv, strText.substr(nPos, nLen), strChar)
                  ? strChar
                  : "\xEF\xBF\xBD";
    nPos += nLen;
  }
  return strOut;
}

bool PlatConsoleIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool PlatIsLeadByte(unsigned char chByte) {
  return (chByte >= 0x81 && chByte <= 0x9F) ||
         (chByte >= 0xE0 && chByte <= 0xFC);
}

unsigned PlatLowerChar(unsigned nChar) {
  for (const CaseRange& range : kCaseRanges) {
    if (nChar < range.nFirst || nChar > range.nLast) continue;
    unsigned nLower = range.nLower + (nChar - range.nFirst);
    return range.nFirst == 0x8440 && nLower >= 0x847F ? nLower + 1 : nLower;
  }
  return nChar;
}

bool PlatGetFileStamp(const std::string& strPath, long long& nSize,
                      long long& nTime) {
  struct stat st;
  std::string strNative = NativePath(strPath);
  if (Sys("stat", strNative, stat(strNative.c_str(), &st)) != 0) return false;
  nSize = static_cast<long long>(st.st_size);
  nTime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL +
          st.st_mtim.tv_nsec;
  return true;
}
