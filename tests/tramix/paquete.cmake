# Installs Tramix into a scratch prefix, builds the host in paquete/ against it and runs it.
# Run with -DBUILD=<build tree> -DSRC=<this folder> -DTMP=<scratch dir> -DGEN=<generator>.
file(REMOVE_RECURSE ${TMP})
function(paso)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE r OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT r EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${out}\n${err}")
  endif()
  set(salida "${out}" PARENT_SCOPE)
endfunction()
paso(${CMAKE_COMMAND} --install ${BUILD} --component Tramix --prefix ${TMP}/prefijo)
paso(${CMAKE_COMMAND} -S ${SRC}/paquete -B ${TMP}/anfitrion -G ${GEN}
     -DCMAKE_PREFIX_PATH=${TMP}/prefijo -DCMAKE_BUILD_TYPE=Debug)
paso(${CMAKE_COMMAND} --build ${TMP}/anfitrion)
paso(${TMP}/anfitrion/anfitrion)
if(NOT salida MATCHES "^1\\.200")
  message(FATAL_ERROR "unexpected output from the host: ${salida}")
endif()
