# Checks cmake/manual.cmake: a sample of every construct of its markdown
# subset, converted and compared line by line; then the real manual, whose
# page must hold every section, no markdown and no stray roff request, and
# must render without a groff warning; and the CP932 text must read back as
# the UTF-8 text with CR LF.
#
#   cmake -DMANUAL_SCRIPT=... -DMANUAL_SOURCE=... -DWORK_DIR=...
#         [-DGROFF=...] [-DICONV=...] -P tests/manual_test.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(convert strSource strStem)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DMANUAL_SOURCE=${strSource}"
            "-DMANUAL_PAGE=${WORK_DIR}/${strStem}.1"
            "-DMANUAL_TEXT=${WORK_DIR}/${strStem}.txt" ${ARGN}
            -P "${MANUAL_SCRIPT}"
    RESULT_VARIABLE nRet ERROR_VARIABLE strErr)
  if(NOT nRet EQUAL 0)
    message(FATAL_ERROR "conversion of ${strSource} failed: ${strErr}")
  endif()
endfunction()

# Fails unless strFile holds exactly the lines of strWant.
function(expect_file strFile strWant)
  file(READ "${strFile}" strHave)
  if(NOT strHave STREQUAL strWant)
    message(FATAL_ERROR "${strFile} differs.\n--- want\n${strWant}"
                        "--- have\n${strHave}")
  endif()
endfunction()

# ---- Every construct, with the characters roff or CMake would take ------

file(WRITE "${WORK_DIR}/sample.md" [=[
# tool(1) Sample Manual
## NAME
tool - does `a-b` and **c**;
.starts with a dot, \ and [x]
'starts with a quote
**語**。
語、（x）

### Sub
- item `--x`
  .more
- two
```
.nf \fB [;]
  kept
a \
```
| term | text |
|---|---|
| `-r` | reads; 'R' |
| x | y |

| a | b | c |
|---|---|---|
| 1 | 2 | 3 |
]=])
convert("${WORK_DIR}/sample.md" sample)

expect_file("${WORK_DIR}/sample.1" [=[
.\" -*- coding: UTF-8 -*-
.\" Generated from tool's manual source by manual.cmake; edit that instead.
.TH tool 1 "" "tool" "Sample Manual"
.ad l
.nh
.SH "NAME"
.PP
tool - does \fBa\-b\fR and \fBc\fR;
\&.starts with a dot, \e and [x]
\&'starts with a quote
\fB語\:\fR。\:
語、\:（x）\:
.SS "Sub"
.IP \(bu 2
item \fB\-\-x\fR
\&.more
.IP \(bu 2
two
.PP
.RS 4
.nf
\&.nf \efB [;]
  kept
a \e
.fi
.RE
.TP
\fB\-r\fR
reads; 'R'
.TP
x
y
.TP
1
b: 2
.br
c: 3
]=])

expect_file("${WORK_DIR}/sample.txt" [=[
tool(1)    Sample Manual

NAME
    tool - does a-b and c;
    .starts with a dot, \ and [x]
    'starts with a quote
    語。
    語、（x）

  Sub
    - item --x
      .more
    - two
        .nf \fB [;]
          kept
        a \

    -r
        reads; 'R'
    x
        y

    1
        b: 2
        c: 3
]=])

# ---- The real manual ----------------------------------------------------

set(lstIconv)
if(ICONV)
  set(lstIconv "-DMANUAL_TEXT_CP932=${WORK_DIR}/manual-cp932.txt"
               "-DICONV=${ICONV}")
endif()
convert("${MANUAL_SOURCE}" manual ${lstIconv})
file(READ "${WORK_DIR}/manual.1" strPage)

if(NOT strPage MATCHES "\n\\.TH RaVerAzariduVivi 1 ")
  message(FATAL_ERROR "no .TH RaVerAzariduVivi 1 line")
endif()
file(STRINGS "${MANUAL_SOURCE}" lstSource REGEX "^## ")
string(REGEX MATCHALL "\n\\.SH [^\n]+" lstSections "${strPage}")
set(lstWant)
foreach(strHeading IN LISTS lstSource)
  string(REGEX REPLACE "^## (.*)$" "\n.SH \"\\1\"" strHeading "${strHeading}")
  list(APPEND lstWant "${strHeading}")
endforeach()
list(LENGTH lstWant nWant)
if(nWant LESS 8)
  message(FATAL_ERROR "the manual has only ${nWant} sections")
endif()
if(NOT lstSections STREQUAL lstWant)
  message(FATAL_ERROR "sections ${lstSections} are not the headings "
                      "${lstWant}")
endif()
if(strPage MATCHES "`|\\*\\*")
  message(FATAL_ERROR "markdown left in the page")
endif()
# Every control line is one of the requests the converter writes; a text
# line starting with "." or "'" would show up here.
string(REPLACE ";" "," strScan "${strPage}")
string(REGEX MATCHALL "\n[.'][^\n]*" lstControl "\n${strScan}")
foreach(strLine IN LISTS lstControl)
  if(NOT strLine MATCHES "^\n\\.(\\\\\"|TH|ad|nh|SH|SS|PP|IP|TP|RS|RE|nf|fi|br)( |$)")
    message(FATAL_ERROR "stray control line: ${strLine}")
  endif()
endforeach()

if(GROFF)
  execute_process(
    COMMAND "${GROFF}" -K utf8 -man -Tutf8 -ww -z "${WORK_DIR}/manual.1"
    RESULT_VARIABLE nRet OUTPUT_VARIABLE strOut ERROR_VARIABLE strErr)
  if(NOT nRet EQUAL 0 OR NOT strErr STREQUAL "")
    message(FATAL_ERROR "groff warns about the page:\n${strErr}")
  endif()
else()
  message(STATUS "no groff: the rendering check is skipped")
endif()

if(ICONV)
  execute_process(
    COMMAND "${ICONV}" -f CP932 -t UTF-8
    INPUT_FILE "${WORK_DIR}/manual-cp932.txt"
    OUTPUT_FILE "${WORK_DIR}/manual-back.txt" RESULT_VARIABLE nRet)
  # file(READ) drops the CR of CR LF: the bytes are compared by CMake.
  file(READ "${WORK_DIR}/manual.txt" strText)
  string(REPLACE "\n" "\r\n" strText "${strText}")
  file(WRITE "${WORK_DIR}/manual-crlf.txt" "${strText}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK_DIR}/manual-crlf.txt"
            "${WORK_DIR}/manual-back.txt"
    RESULT_VARIABLE nSame)
  if(NOT nRet EQUAL 0 OR NOT nSame EQUAL 0)
    message(FATAL_ERROR "the CP932 text does not read back as the text "
                        "with CR LF")
  endif()
endif()
