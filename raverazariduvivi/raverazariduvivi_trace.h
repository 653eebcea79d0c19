// The developer's trace log.
//
// One line per call: "time,file:line,function," + payload, CR LF ended,
// appended to g_szTraceLogPath, which is opened and closed for every line.
// With g_bTraceLog clear the writers format nothing and touch no file. A
// line that cannot be written is dropped silently; nothing a writer does
// changes its caller's behaviour.
#pragma once

#include <string>

extern int g_bTraceLog;
extern std::string g_szTraceLogPath;

// Writes strMsg; an empty message writes nothing.
void TraceLog(const char* pszFunc, const char* pszFile, int nLine,
              const std::string& strMsg);

// Writes strName "=" strValue; an empty name writes nothing.
void TraceLogValue(const char* pszFunc, const char* pszFile, int nLine,
                   const std::string& strName, const std::string& strValue);

// Writes strName "=" nValue in decimal; an empty name writes nothing.
void TraceLogInt(const char* pszFunc, const char* pszFile, int nLine,
                 const std::string& strName, int nValue);

// Writes strMsg and the platform's last failed system call (PlatLastError),
// for the line right after a call has failed.
void TraceLogError(const char* pszFunc, const char* pszFile, int nLine,
                   const std::string& strMsg);

// Returns the last component of a source path (after the last "\" or "/").
std::string TraceFileName(const char* pszFile);

// The writers under the calling function's own name. With the trace off
// the arguments are not even evaluated, so a switched-off trace costs one
// test of g_bTraceLog.
#define TRACE(msg) \
  (g_bTraceLog == 1 ? TraceLog(__func__, __FILE__, __LINE__, (msg)) : void())
#define TRACE_VALUE(name, value)                                      \
  (g_bTraceLog == 1                                                   \
       ? TraceLogValue(__func__, __FILE__, __LINE__, (name), (value)) \
       : void())
#define TRACE_ERROR(msg)                                                 \
  (g_bTraceLog == 1 ? TraceLogError(__func__, __FILE__, __LINE__, (msg)) \
                    : void())
#define TRACE_INT(name, value)                                      \
  (g_bTraceLog == 1                                                 \
       ? TraceLogInt(__func__, __FILE__, __LINE__, (name), (value)) \
       : void())

// The writers under another function's name, for a helper that traces on
// behalf of the function it serves.
#define TRACE_AS(func, msg) \
  (g_bTraceLog == 1 ? TraceLog((func), __FILE__, __LINE__, (msg)) : void())
#define TRACE_VALUE_AS(func, name, value)                           \
  (g_bTraceLog == 1                                                 \
       ? TraceLogValue((func), __FILE__, __LINE__, (name), (value)) \
       : void())
#define TRACE_INT_AS(func, name, value)                                        \
  (g_bTraceLog == 1 ? TraceLogInt((func), __FILE__, __LINE__, (name), (value)) \
                    : void())
