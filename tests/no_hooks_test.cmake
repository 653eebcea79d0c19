# Fails when a shipped program holds the platform's fault hooks: their
# function names (kept in the symbol table of these unstripped builds) or
# the text a hook leaves in the trace. Run as cmake -DPROGRAM=<file> -P.
file(STRINGS "${PROGRAM}" hits
     REGEX "PlatFaultHit|PlatSetFault|PlatResetFaults|injected by a test")
list(LENGTH hits count)
if(count GREATER 0)
  list(GET hits 0 first)
  message(FATAL_ERROR "${PROGRAM} holds fault hooks: ${first}")
endif()
# The same words in the test build prove the check can see them.
if(DEFINED HOOKED)
  file(STRINGS "${HOOKED}" seen REGEX "PlatFaultHit|injected by a test")
  if(NOT seen)
    message(FATAL_ERROR "the check finds no hooks even in ${HOOKED}")
  endif()
endif()
