# Installs the build into a scratch prefix, then configures, builds and runs
# a consumer project against it, and checks the pkg-config file.
set(prefix ${BINARY_DIR}/package-test/prefix)
file(REMOVE_RECURSE ${BINARY_DIR}/package-test)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/package/consumer
                        -B ${BINARY_DIR}/package-test/build -DCMAKE_PREFIX_PATH=${prefix}
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "find_package(piecepaint) failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR}/package-test/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer build failed")
endif()
execute_process(COMMAND ${BINARY_DIR}/package-test/build/consumer RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer run failed")
endif()
file(GLOB_RECURSE pcfile ${prefix}/*/piecepaint.pc)
get_filename_component(pcdir "${pcfile}" DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcdir}
                        pkg-config --cflags --libs piecepaint
                RESULT_VARIABLE rc OUTPUT_VARIABLE flags)
if(rc OR NOT flags MATCHES "-lpiecepaint" OR NOT flags MATCHES "package-test/prefix")
  message(FATAL_ERROR "pkg-config file is wrong: ${flags}")
endif()
