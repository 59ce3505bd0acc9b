# cmake -DFILE=PATH -DLIMIT=BYTES -P at-most.cmake: fails if the file at PATH
# is larger than LIMIT bytes.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} has ${size} bytes, more than ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes, at most ${LIMIT}")
