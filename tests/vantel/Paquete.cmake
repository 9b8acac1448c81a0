# Installs Vantel alone into a scratch prefix, builds a host against the
# installed package and runs it.
#   cmake -DARBOL=<build tree> -DFUENTE=<host sources> -DTRABAJO=<scratch dir> -P Paquete.cmake
file(REMOVE_RECURSE ${TRABAJO})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${ARBOL} --component vantel --prefix ${TRABAJO}/prefijo
                RESULT_VARIABLE r OUTPUT_QUIET)
if(r)
  message(FATAL_ERROR "install failed")
endif()
foreach(cabecera CommSocket.h Puertos.h AlmacenPropiedades.h vantel_export.h)
  if(NOT EXISTS ${TRABAJO}/prefijo/include/vantel/${cabecera})
    message(FATAL_ERROR "header ${cabecera} not installed")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${FUENTE} -B ${TRABAJO}/anfitrion -G Ninja
                        -DCMAKE_PREFIX_PATH=${TRABAJO}/prefijo -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE r)
if(r)
  message(FATAL_ERROR "configuring the host failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${TRABAJO}/anfitrion RESULT_VARIABLE r)
if(r)
  message(FATAL_ERROR "building the host failed")
endif()
execute_process(COMMAND ${TRABAJO}/anfitrion/anfitrion RESULT_VARIABLE r)
if(r)
  message(FATAL_ERROR "the host did not get its Conexion event: ${r}")
endif()
