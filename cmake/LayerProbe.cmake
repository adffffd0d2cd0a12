# Compiles tests/layers/LayerProbe.cpp with the include roots of one library twice: including
# OWN, a header of that library, it must build (the control); including ABOVE, a header of a
# layer above, it must fail because that header is not found.
#   cmake -DCOMPILER=... -DINCLUDES=root1|root2... -DSOURCE=... -DOWN=... -DABOVE=... -P LayerProbe.cmake
string(REPLACE "|" ";" roots "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(root IN LISTS roots)
  list(APPEND flags -I${root})
endforeach()

function(probe header result output)
  execute_process(COMMAND ${COMPILER} ${flags} "-DQUILNA_PROBE_HEADER=\"${header}\"" ${SOURCE}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${rc} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

probe(${OWN} rc out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the library's own ${OWN} does not build with its include roots:\n${out}")
endif()
probe(${ABOVE} rc out)
string(REPLACE "." "\\." pattern "${ABOVE}")
if(rc EQUAL 0)
  message(FATAL_ERROR "${ABOVE}, a header of a layer above, builds with the include roots ${INCLUDES}")
elseif(NOT out MATCHES "${pattern}'?: No such file|'${pattern}' file not found")
  message(FATAL_ERROR "${ABOVE} failed for another reason than not being found:\n${out}")
endif()
message(STATUS "${OWN} builds; ${ABOVE} is not found")
