#include "benchfs.h"

#include <fcntl.h>
#include <iconv.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace {

// Converts with the converter cd, opened once per direction; a byte the
// converter refuses is copied unchanged and the conversion goes on behind it.
std::string Convert(iconv_t cd, const std::string& strIn) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return strIn;
  // Back to the initial state; this form of the call cannot fail.
  static_cast<void>(iconv(cd, nullptr, nullptr, nullptr, nullptr));
  std::string strOut;
  char* pIn = const_cast<char*>(strIn.data());
  size_t nIn = strIn.size();
  while (nIn > 0) {
    char szBuf[1024];
    char* pOut = szBuf;
    size_t nOut = sizeof szBuf;
    size_t nRet = iconv(cd, &pIn, &nIn, &pOut, &nOut);
    strOut.append(szBuf, static_cast<size_t>(pOut - szBuf));
    if (nRet == static_cast<size_t>(-1) && errno != E2BIG) {
      strOut += *pIn++;
      --nIn;
    }
  }
  return strOut;
}

}  // namespace

std::string BenchUtf8(const std::string& strCp932) {
  static const iconv_t cd = iconv_open("UTF-8", "CP932");
  return Convert(cd, strCp932);
}

std::string BenchCp932(const std::string& strUtf8) {
  static const iconv_t cd = iconv_open("CP932", "UTF-8");
  return Convert(cd, strUtf8);
}

std::string BenchCrLf(const std::vector<std::string>& vLines) {
  std::string strOut;
  for (const std::string& strLine : vLines) strOut += strLine + "\r\n";
  return strOut;
}

// 0x2C is never a CP932 lead or trail byte, so a plain byte split is safe.
std::vector<std::string> BenchItems(const std::string& strList) {
  std::vector<std::string> vItems;
  size_t nStart = 0;
  for (size_t nComma = strList.find(','); nComma != std::string::npos;
       nComma = strList.find(',', nStart)) {
    if (nComma > nStart)
      vItems.push_back(strList.substr(nStart, nComma - nStart));
    nStart = nComma + 1;
  }
  if (nStart < strList.size()) vItems.push_back(strList.substr(nStart));
  return vItems;
}

std::string BenchJoinList(const std::vector<std::string>& vNames) {
  std::string strOut;
  for (const std::string& strName : vNames) strOut += strName + ",";
  return strOut;
}

bool BenchReadFile(const std::string& strPath, std::string& strData) {
  int nFd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (nFd < 0) return false;
  std::string strRead;
  char szBuf[65536];
  ssize_t n;
  while ((n = read(nFd, szBuf, sizeof szBuf)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    strRead.append(szBuf, static_cast<size_t>(n));
  }
  bool bOk = close(nFd) == 0 && n == 0;
  if (bOk) strData.swap(strRead);
  return bOk;
}

bool BenchWriteFile(const std::string& strPath, const std::string& strData) {
  size_t nSlash = strPath.rfind('/');
  if (nSlash != std::string::npos && nSlash > 0 &&
      !BenchMakeDirs(strPath.substr(0, nSlash)))
    return false;
  int nFd =
      open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (nFd < 0) return false;
  bool bOk = BenchWriteAll(nFd, strData);
  return close(nFd) == 0 && bOk;
}

bool BenchMakeDirs(const std::string& strPath) {
  std::error_code ec;
  std::filesystem::create_directories(strPath, ec);
  return !ec;
}

bool BenchRemoveTree(const std::string& strPath) {
  std::error_code ec;
  std::filesystem::remove_all(strPath, ec);
  return !ec;
}

bool BenchSyncFs(const std::string& strPath) {
  int nFd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (nFd < 0) return false;
  bool bOk = syncfs(nFd) == 0;
  return close(nFd) == 0 && bOk;
}

bool BenchIsMemoryFs(const std::string& strPath) {
  struct statfs st;
  return statfs(strPath.c_str(), &st) == 0 && st.f_type == TMPFS_MAGIC;
}

std::vector<std::string> BenchListFiles(const std::string& strRoot) {
  std::vector<std::string> vFiles;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(strRoot, ec);
       !ec && it != std::filesystem::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec))
      vFiles.push_back(it->path().lexically_relative(strRoot).string());
  }
  std::sort(vFiles.begin(), vFiles.end());
  return vFiles;
}

std::string BenchSelfDir() {
  std::error_code ec;
  std::filesystem::path self =
      std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : self.parent_path().string();
}

bool BenchWriteAll(int nFd, const std::string& strData) {
  for (size_t nDone = 0; nDone < strData.size();) {
    ssize_t n = write(nFd, strData.data() + nDone, strData.size() - nDone);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    nDone += static_cast<size_t>(n);
  }
  return true;
}
