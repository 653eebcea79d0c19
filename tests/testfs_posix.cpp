// File-system services of the end-to-end tests on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "testfs.h"
#include "testutil.h"

namespace {

// Reads the regular file whole; never blocks, whatever stands at the path.
std::string ReadRegular(const std::string& strNative) {
  std::string strData;
  int nFd = open(strNative.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (nFd < 0) return "<unreadable>";
  char szBuf[65536];
  for (;;) {
    ssize_t nRead = read(nFd, szBuf, sizeof szBuf);
    if (nRead < 0 && errno == EINTR) continue;
    if (nRead <= 0) {
      if (nRead < 0) strData = "<unreadable>";
      break;
    }
    strData.append(szBuf, static_cast<size_t>(nRead));
  }
  close(nFd);
  return strData;
}

TestEntry ReadEntry(const std::string& strNative, const struct stat& st) {
  TestEntry entry;
  entry.nMode = st.st_mode & 07777;
  if (S_ISREG(st.st_mode)) {
    entry.chKind = 'f';
    entry.strData = ReadRegular(strNative);
  } else if (S_ISDIR(st.st_mode)) {
    entry.chKind = 'd';
  } else if (S_ISLNK(st.st_mode)) {
    entry.chKind = 'l';
    std::string strTarget(4096, '\0');
    ssize_t nLen = readlink(strNative.c_str(), strTarget.data(), 4096);
    entry.strData = nLen < 0 ? "<unreadable>" : strTarget.substr(0, nLen);
    entry.nMode = 0;  // a link's own mode means nothing on Linux
  } else if (S_ISFIFO(st.st_mode)) {
    entry.chKind = 'p';
  }
  return entry;
}

void Walk(const std::string& strNative, const std::string& strRelative,
          std::map<std::string, TestEntry>& mOut) {
  DIR* pDir = opendir(strNative.c_str());
  if (pDir == nullptr) return;
  while (const struct dirent* pEnt = readdir(pDir)) {
    std::string strName = pEnt->d_name;
    if (strName == "." || strName == "..") continue;
    std::string strPath = strNative + "/" + strName;
    std::string strRel = strRelative + TestUtf8ToCp932(strName);
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0) continue;
    mOut[strRel] = ReadEntry(strPath, st);
    if (S_ISDIR(st.st_mode)) Walk(strPath, strRel + "/", mOut);
  }
  closedir(pDir);
}

}  // namespace

TestEntry TestReadEntry(const std::string& strPath) {
  std::string strNative = TestToNative(strPath);
  struct stat st;
  if (lstat(strNative.c_str(), &st) != 0) return TestEntry{'-', "", 0};
  return ReadEntry(strNative, st);
}

std::map<std::string, TestEntry> TestSnapshot(const std::string& strRoot) {
  std::map<std::string, TestEntry> mOut;
  Walk(TestToNative(strRoot), "", mOut);
  return mOut;
}

int TestMakeSymlink(const std::string& strPath, const std::string& strTarget) {
  return symlink(TestToNative(strTarget).c_str(),
                 TestToNative(strPath).c_str()) == 0
             ? kTestMade
             : kTestMakeFailed;
}

int TestMakeHardLink(const std::string& strPath,
                     const std::string& strExisting) {
  return link(TestToNative(strExisting).c_str(),
              TestToNative(strPath).c_str()) == 0
             ? kTestMade
             : kTestMakeFailed;
}

int TestMakeFifo(const std::string& strPath) {
  return mkfifo(TestToNative(strPath).c_str(), 0666) == 0 ? kTestMade
                                                          : kTestMakeFailed;
}

std::string TestToNative(const std::string& strText) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return strText;
  std::string strOut(strText.size() * 3 + 1, '\0');
  char* pIn = const_cast<char*>(strText.data());
  size_t nIn = strText.size();
  char* pOut = strOut.data();
  size_t nOut = strOut.size();
  size_t nRet = iconv(cd, &pIn, &nIn, &pOut, &nOut);
  iconv_close(cd);
  if (nRet == static_cast<size_t>(-1)) return strText;
  strOut.resize(strOut.size() - nOut);
  return strOut;
}

std::string TestFileId(const std::string& strPath) {
  struct stat st;
  if (lstat(TestToNative(strPath).c_str(), &st) != 0) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}
