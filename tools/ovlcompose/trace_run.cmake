# Runs ovlcompose with --trace on the built-in default and checks that the
# log holds a whole run, in order: the filter made, its pins connected,
# streaming started, main samples composed, end of stream, stopped.
execute_process(COMMAND ${EMULATOR} ${COMPOSER} --quiet --frames 6 --out ${OUT}/traced.avi --png ${OUT}/traced.png
                        --trace ${OUT}/trace.txt
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ovlcompose --trace failed (${status}):\n${out}${err}")
endif()
file(READ ${OUT}/trace.txt log)
file(READ ${OUT}/trace.txt mark LIMIT 3 HEX)
if(NOT mark STREQUAL "efbbbf")
  message(FATAL_ERROR "the log does not start with the UTF-8 byte-order mark: ${mark}")
endif()
set(from 0)
foreach(line
    "CVOvrLyFilter::CreateInstance"
    "CMuxTransformInputPin::CompleteConnect(Pin 0) returning S_OK"
    "CMuxTransformInputPin::CompleteConnect(Pin 1) returning S_OK"
    "CMuxDynamicOutputPin::CompleteConnect returning S_OK"
    "VOvly.StartStreaming"
    "+ OVLPin::Receive0(0ms, "
    ") (NORMAL)"
    "EndOfStream for pin 0"
    "VOvly.Stop()")
  string(SUBSTRING "${log}" ${from} -1 rest)
  string(FIND "${rest}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "'${line}' missing or out of order in the trace log:\n${log}")
  endif()
  math(EXPR from "${from} + ${at}")
endforeach()
# Each line: a line break, the time stamp, the thread id, the text.
if(NOT log MATCHES "\n[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9][0-9][0-9]: [0-9a-f]+: VOvly\\.StartStreaming")
  message(FATAL_ERROR "lines are not stamped as documented:\n${log}")
endif()
