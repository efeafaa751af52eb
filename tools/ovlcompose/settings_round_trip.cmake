# Runs ovlcompose twice: the first run exports the settings it composed with
# (and composes 0.4 s to 1.2 s of the inputs: 20 frames at 25 per second, 21
# when the source also delivers the frame that starts at the stop position);
# the second run applies that file and must compose the same picture.
function(run)
  execute_process(COMMAND ${EMULATOR} ${COMPOSER} --quiet ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ovlcompose ${ARGN} failed (${status}):\n${out}${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(--frames 40 --start 0.4 --stop 1.2 --second-opacity 40 --image-at 100,60
    --export-settings ${OUT}/round-trip.xml --out ${OUT}/first.avi --png ${OUT}/first.png --png-frame 3)
if(NOT last_output MATCHES "\\(2[01] frames")
  message(FATAL_ERROR "expected 20 or 21 frames between 0.4 s and 1.2 s: ${last_output}")
endif()
run(--frames 40 --start 0.4 --stop 1.2 --settings ${OUT}/round-trip.xml
    --out ${OUT}/second.avi --png ${OUT}/second.png --png-frame 3)
file(SHA256 ${OUT}/first.png first)
file(SHA256 ${OUT}/second.png second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "the settings file did not reproduce the composition")
endif()
