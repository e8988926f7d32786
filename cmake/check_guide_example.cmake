# Fails unless GUIDE holds the text of SOURCE verbatim (as the body of a code block).
file(READ "${SOURCE}" Source)
file(READ "${GUIDE}" Guide)
string(FIND "${Guide}" "${Source}" Found)
if(Found EQUAL -1)
  message(FATAL_ERROR "${GUIDE} does not hold the text of ${SOURCE}")
endif()
