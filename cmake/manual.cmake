# Turns the manual's one source, a markdown file, into a roff manual page
# and a plain-text manual, with nothing but CMake (the build machine may
# have no other text tool).
#
#   cmake -DMANUAL_SOURCE=docs/manual.md -DMANUAL_PAGE=out/RaVerAzariduVivi.1
#         -DMANUAL_TEXT=out/manual-utf8.txt
#         [-DMANUAL_TEXT_CP932=out/manual.txt -DICONV=/usr/bin/iconv]
#         ["-DMANUAL_VERSION=name version"]
#         -P cmake/manual.cmake
#
# MANUAL_PAGE is UTF-8 roff; MANUAL_TEXT is UTF-8 with LF; MANUAL_TEXT_CP932
# is the same text with CR LF, converted to CP932 by ICONV (the Windows
# readers' charset). An input the subset below cannot express is an error.
#
# The markdown subset, one construct per line start:
#   # NAME(SECTION) TITLE    the first line: page name, section, manual title
#   ## HEADING               a section (.SH); write it in capitals
#   ### Heading              a subsection (.SS)
#   text                     a paragraph: lines up to a blank line (.PP)
#   - text                   a bullet item; its further lines start with two
#                            spaces; a blank line ends it (.IP)
#   ```                      a fenced block, taken verbatim (.nf)
#   | a | b |                a table: the first row is the header, the second
#                            the |---| rule; each further row becomes a
#                            term (first cell) and its description (.TP);
#                            with three or more columns each further cell is
#                            shown as "header: cell". No "|" inside a cell.
# Inside text, items and table cells: `code` (bold on the page) and
# **bold**; neither nests nor spans lines. Everything else is literal text:
# roff's backslash and a line start of "." or "'" are escaped.

cmake_minimum_required(VERSION 3.16)

foreach(strVar MANUAL_SOURCE MANUAL_PAGE MANUAL_TEXT)
  if(NOT DEFINED ${strVar})
    message(FATAL_ERROR "manual.cmake: -D${strVar}=... is required")
  endif()
endforeach()

# CMake lists split at ";" except inside brackets or after a backslash:
# all three are swapped for control characters while the text travels as
# a list of lines.
string(ASCII 1 g_chSemi)
string(ASCII 2 g_chOpen)
string(ASCII 3 g_chClose)
string(ASCII 4 g_chBackslash)

# A three-byte UTF-8 character (the Japanese ones): groff knows no break
# between two of them, so the page gets a break point (\:) after each.
string(ASCII 224 g_chLeadFirst)
string(ASCII 239 g_chLeadLast)
string(ASCII 128 g_chTrailFirst)
string(ASCII 191 g_chTrailLast)
set(g_strTrail "[${g_chTrailFirst}-${g_chTrailLast}]")
set(g_strWide "[${g_chLeadFirst}-${g_chLeadLast}]${g_strTrail}${g_strTrail}")
# No line starts with a closing mark and none ends with an opening one.
set(g_lstNoBreakBefore "。" "、" "）" "」" "』" "：" "(")
set(g_lstNoBreakAfter "（" "「" "『")

function(rav_restore strIn strOutVar)
  string(REPLACE "${g_chSemi}" ";" strIn "${strIn}")
  string(REPLACE "${g_chOpen}" "[" strIn "${strIn}")
  string(REPLACE "${g_chClose}" "]" strIn "${strIn}")
  string(REPLACE "${g_chBackslash}" "\\" strIn "${strIn}")
  set(${strOutVar} "${strIn}" PARENT_SCOPE)
endfunction()

# A line of page text: roff's escape character printed, and a line that
# would start with a control character made text.
function(rav_roff_escape strIn strOutVar)
  string(REPLACE "${g_chBackslash}" "\\e" strIn "${strIn}")
  if(strIn MATCHES "^[.']")
    set(strIn "\\&${strIn}")
  endif()
  set(${strOutVar} "${strIn}" PARENT_SCOPE)
endfunction()

# Inline markup of one line into its page form and its text form. In code
# the hyphens are roff's minus, so options copied from the page still work.
function(rav_inline strIn strRoffVar strTextVar)
  string(REPLACE "${g_chBackslash}" "\\e" strRoff "${strIn}")
  set(strText "${strIn}")
  set(strDone "")
  while(strRoff MATCHES "^([^`]*)`([^`]*)`(.*)$")
    set(strCode "${CMAKE_MATCH_2}")
    set(strRest "${CMAKE_MATCH_3}")
    string(REPLACE "-" "\\-" strCode "${strCode}")
    string(APPEND strDone "${CMAKE_MATCH_1}\\fB${strCode}\\fR")
    set(strRoff "${strRest}")
  endwhile()
  if(strRoff MATCHES "`")
    message(FATAL_ERROR "manual.cmake: unpaired backtick in: ${strIn}")
  endif()
  string(APPEND strDone "${strRoff}")
  string(REGEX REPLACE "\\*\\*([^*]+)\\*\\*" "\\\\fB\\1\\\\fR" strDone
                       "${strDone}")
  if(strDone MATCHES "\\*\\*")
    message(FATAL_ERROR "manual.cmake: unpaired ** in: ${strIn}")
  endif()
  string(REGEX REPLACE "(${g_strWide})" "\\1\\\\:" strDone "${strDone}")
  foreach(strMark IN LISTS g_lstNoBreakBefore)
    string(REPLACE "\\:${strMark}" "${strMark}" strDone "${strDone}")
  endforeach()
  foreach(strMark IN LISTS g_lstNoBreakAfter)
    string(REPLACE "${strMark}\\:" "${strMark}" strDone "${strDone}")
  endforeach()
  if(strDone MATCHES "^[.']")
    set(strDone "\\&${strDone}")
  endif()
  string(REPLACE "`" "" strText "${strText}")
  string(REPLACE "**" "" strText "${strText}")
  set(${strRoffVar} "${strDone}" PARENT_SCOPE)
  set(${strTextVar} "${strText}" PARENT_SCOPE)
endfunction()

# The cells of a table row, trimmed, as a list.
function(rav_cells strRow strOutVar)
  string(REGEX REPLACE "^ *\\| *" "" strRow "${strRow}")
  string(REGEX REPLACE " *\\| *$" "" strRow "${strRow}")
  string(REGEX REPLACE " *\\| *" ";" strRow "${strRow}")
  set(${strOutVar} "${strRow}" PARENT_SCOPE)
endfunction()

# Wraps text at spaces into lines of at most 76 bytes after strIndent (a
# Japanese character counts 3 bytes for its 2 columns, so those lines only
# come out shorter).
function(rav_wrap strIn strIndent strOutVar)
  string(REPLACE " " ";" lstWords "${strIn}")
  set(strOut "")
  set(strLine "")
  foreach(strWord IN LISTS lstWords)
    string(LENGTH "${strIndent}${strLine} ${strWord}" nLength)
    if(strLine STREQUAL "")
      set(strLine "${strWord}")
    elseif(nLength GREATER 76)
      string(APPEND strOut "${strIndent}${strLine}\n")
      set(strLine "${strWord}")
    else()
      string(APPEND strLine " ${strWord}")
    endif()
  endforeach()
  set(${strOutVar} "${strOut}${strIndent}${strLine}\n" PARENT_SCOPE)
endfunction()

# Appends one line to the page (g_strRoff) or the text (g_strText); these
# are functions, since a macro would read the backslashes of its argument.
function(rav_put_roff strLine)
  set(g_strRoff "${g_strRoff}${strLine}\n" PARENT_SCOPE)
endfunction()
function(rav_put_text strLine)
  set(g_strText "${g_strText}${strLine}\n" PARENT_SCOPE)
endfunction()
# Ends the text with one blank line, never two.
function(rav_blank_text)
  if(NOT g_strText MATCHES "\n\n$")
    set(g_strText "${g_strText}\n" PARENT_SCOPE)
  endif()
endfunction()

# Writes the pending paragraph or bullet item (g_lstBlock, lines of
# markdown) in both forms. Lines are kept as written: the page fills them,
# the text keeps the source's wrapping.
function(rav_flush_block)
  if(NOT g_strBlockKind)
    return()
  endif()
  if(g_strBlockKind STREQUAL "para")
    set(strRoff "${g_strRoff}.PP\n")
    set(strFirst "    ")
  else()
    set(strRoff "${g_strRoff}.IP \\(bu 2\n")
    set(strFirst "    - ")
  endif()
  set(strText "${g_strText}")
  set(strLead "${strFirst}")
  foreach(strLine IN LISTS g_lstBlock)
    rav_inline("${strLine}" strR strT)
    string(APPEND strRoff "${strR}\n")
    string(APPEND strText "${strLead}${strT}\n")
    string(REGEX REPLACE "." " " strLead "${strFirst}")
  endforeach()
  set(g_strRoff "${strRoff}" PARENT_SCOPE)
  set(g_strText "${strText}" PARENT_SCOPE)
  set(g_strBlockKind "" PARENT_SCOPE)
  set(g_lstBlock "" PARENT_SCOPE)
endfunction()

# Writes the pending table (g_lstTable, rows of markdown) in both forms.
function(rav_flush_table)
  if(NOT g_lstTable)
    return()
  endif()
  list(GET g_lstTable 0 strHeader)
  rav_cells("${strHeader}" lstHeader)
  list(LENGTH lstHeader nColumns)
  list(REMOVE_AT g_lstTable 0 1)
  set(strRoff "${g_strRoff}")
  set(strText "${g_strText}")
  foreach(strRow IN LISTS g_lstTable)
    rav_cells("${strRow}" lstCells)
    list(LENGTH lstCells nCells)
    if(NOT nCells EQUAL nColumns)
      message(FATAL_ERROR "manual.cmake: ${nCells} cells, not ${nColumns}: "
                          "${strRow}")
    endif()
    list(GET lstCells 0 strTerm)
    rav_inline("${strTerm}" strR strT)
    string(APPEND strRoff ".TP\n${strR}\n")
    string(APPEND strText "    ${strT}\n")
    math(EXPR nLast "${nColumns} - 1")
    foreach(nCell RANGE 1 ${nLast})
      list(GET lstCells ${nCell} strCell)
      if(nColumns GREATER 2)
        list(GET lstHeader ${nCell} strName)
        set(strCell "${strName}: ${strCell}")
        if(nCell GREATER 1)
          string(APPEND strRoff ".br\n")
        endif()
      endif()
      rav_inline("${strCell}" strR strT)
      rav_wrap("${strT}" "        " strT)
      string(APPEND strRoff "${strR}\n")
      string(APPEND strText "${strT}")
    endforeach()
  endforeach()
  set(g_strRoff "${strRoff}" PARENT_SCOPE)
  set(g_strText "${strText}\n" PARENT_SCOPE)
  set(g_lstTable "" PARENT_SCOPE)
endfunction()

file(READ "${MANUAL_SOURCE}" strSource)
string(REPLACE "\r\n" "\n" strSource "${strSource}")
string(REPLACE ";" "${g_chSemi}" strSource "${strSource}")
string(REPLACE "[" "${g_chOpen}" strSource "${strSource}")
string(REPLACE "]" "${g_chClose}" strSource "${strSource}")
string(REPLACE "\\" "${g_chBackslash}" strSource "${strSource}")
string(REGEX REPLACE "\n$" "" strSource "${strSource}")
string(REPLACE "\n" ";" lstLines "${strSource}")

list(GET lstLines 0 strTitle)
if(NOT strTitle MATCHES "^# ([^ (]+)\\(([0-9a-z]+)\\) (.+)$")
  message(FATAL_ERROR "manual.cmake: the first line must be "
                      "'# NAME(SECTION) TITLE', not: ${strTitle}")
endif()
set(strName "${CMAKE_MATCH_1}")
set(strSection "${CMAKE_MATCH_2}")
set(strManTitle "${CMAKE_MATCH_3}")
set(g_strRoff ".\\\" -*- coding: UTF-8 -*-\n")
string(APPEND g_strRoff ".\\\" Generated from ${strName}'s manual "
                        "source by manual.cmake; edit that instead.\n")
if(NOT DEFINED MANUAL_VERSION)
  set(MANUAL_VERSION "${strName}")
endif()
string(APPEND g_strRoff ".TH ${strName} ${strSection} \"\" "
                        "\"${MANUAL_VERSION}\" \"${strManTitle}\"\n")
# Left-adjusted, since a line of Japanese has no spaces to stretch, and
# unhyphenated, so that file and command names stay whole.
string(APPEND g_strRoff ".ad l\n.nh\n")
set(g_strText "${strName}(${strSection})    ${strManTitle}\n")
list(REMOVE_AT lstLines 0)

set(g_strBlockKind "")
set(g_lstBlock "")
set(g_lstTable "")
set(bInFence FALSE)
foreach(strLine IN LISTS lstLines)
  if(bInFence)
    if(strLine MATCHES "^```")
      set(bInFence FALSE)
      rav_put_roff(".fi\n.RE")
      rav_put_text("")
    else()
      rav_roff_escape("${strLine}" strR)
      rav_put_roff("${strR}")
      rav_put_text("        ${strLine}")
    endif()
    continue()
  endif()
  if(NOT strLine MATCHES "^ *\\|")
    rav_flush_table()
  endif()
  if(strLine MATCHES "^```")
    rav_flush_block()
    set(bInFence TRUE)
    rav_put_roff(".PP\n.RS 4\n.nf")
  elseif(strLine MATCHES "^(##+) (.+)$")
    rav_flush_block()
    set(strHeading "${CMAKE_MATCH_2}")
    string(LENGTH "${CMAKE_MATCH_1}" nLevel)
    if(nLevel GREATER 3 OR strHeading MATCHES "[\"`*${g_chBackslash}]")
      message(FATAL_ERROR "manual.cmake: unsupported heading: ${strLine}")
    endif()
    if(nLevel EQUAL 2)
      rav_put_roff(".SH \"${strHeading}\"")
      rav_blank_text()
      rav_put_text("${strHeading}")
    else()
      rav_put_roff(".SS \"${strHeading}\"")
      rav_blank_text()
      rav_put_text("  ${strHeading}")
    endif()
  elseif(strLine MATCHES "^ *\\|")
    rav_flush_block()
    list(APPEND g_lstTable "${strLine}")
  elseif(strLine STREQUAL "")
    rav_flush_block()
    rav_blank_text()
  elseif(strLine MATCHES "^- (.*)$")
    rav_flush_block()
    set(g_strBlockKind "item")
    set(g_lstBlock "${CMAKE_MATCH_1}")
  elseif(g_strBlockKind STREQUAL "item" AND strLine MATCHES "^  +(.*)$")
    list(APPEND g_lstBlock "${CMAKE_MATCH_1}")
  elseif(strLine MATCHES "^#")
    message(FATAL_ERROR "manual.cmake: unsupported heading: ${strLine}")
  else()
    if(NOT g_strBlockKind)
      set(g_strBlockKind "para")
    endif()
    string(REGEX REPLACE "^ +" "" strLine "${strLine}")
    list(APPEND g_lstBlock "${strLine}")
  endif()
endforeach()
if(bInFence)
  message(FATAL_ERROR "manual.cmake: a fenced block is not closed")
endif()
rav_flush_block()
rav_flush_table()

rav_restore("${g_strRoff}" strPage)
rav_restore("${g_strText}" strText)
string(REGEX REPLACE "\n+$" "\n" strText "${strText}")
file(WRITE "${MANUAL_PAGE}" "${strPage}")
file(WRITE "${MANUAL_TEXT}" "${strText}")

if(DEFINED MANUAL_TEXT_CP932)
  if(NOT ICONV)
    message(FATAL_ERROR "manual.cmake: -DICONV=... is required for "
                        "MANUAL_TEXT_CP932")
  endif()
  string(REPLACE "\n" "\r\n" strCrLf "${strText}")
  set(strTemp "${MANUAL_TEXT_CP932}.crlf")
  file(WRITE "${strTemp}" "${strCrLf}")
  execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932
                  INPUT_FILE "${strTemp}" OUTPUT_FILE "${MANUAL_TEXT_CP932}"
                  RESULT_VARIABLE nIconv ERROR_VARIABLE strIconvErr)
  file(REMOVE "${strTemp}")
  if(NOT nIconv EQUAL 0)
    file(REMOVE "${MANUAL_TEXT_CP932}")
    message(FATAL_ERROR "manual.cmake: iconv could not convert the manual "
                        "to CP932: ${strIconvErr}")
  endif()
endif()
