# Installs the build into a scratch prefix, then configures, builds and runs
# consumer projects against it (one with the shared library, one in C alone
# with the static library), and checks the pkg-config files. Then builds the
# library alone for /usr with a multiarch libdir, installs it into a DESTDIR
# and checks that every path pkg-config prints exists there, and links a C
# program against the static library with pkg-config's flags alone.
set(work ${BINARY_DIR}/package-test)
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc)
    message(FATAL_ERROR "${what} failed:\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run("install" ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
foreach(consumer consumer static_consumer)
  run("find_package(piecepaint) for ${consumer}" ${CMAKE_COMMAND}
      -S ${SOURCE_DIR}/tests/package/${consumer} -B ${work}/${consumer}
      -DCMAKE_PREFIX_PATH=${prefix})
  run("${consumer} build" ${CMAKE_COMMAND} --build ${work}/${consumer})
  run("${consumer} run" ${work}/${consumer}/${consumer})
endforeach()

file(GLOB_RECURSE pcfile ${prefix}/*/piecepaint.pc)
get_filename_component(pcdir "${pcfile}" DIRECTORY)
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcdir}
    pkg-config --cflags --libs piecepaint)
if(NOT out MATCHES "-lpiecepaint" OR NOT out MATCHES "package-test/prefix")
  message(FATAL_ERROR "pkg-config file is wrong: ${out}")
endif()

# /usr with a multiarch libdir, into a DESTDIR.
set(usr ${work}/usr-build)
set(destdir ${work}/destdir)
run("configure for /usr" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${usr} -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=Debug -DPIECEPAINT_TESTS=OFF -DPIECEPAINT_TOOLS=OFF
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib/x86_64-linux-gnu)
run("build for /usr" ${CMAKE_COMMAND} --build ${usr} -j 2)
run("install into DESTDIR" ${CMAKE_COMMAND} -E env DESTDIR=${destdir}
    ${CMAKE_COMMAND} --install ${usr})
set(pcdir ${destdir}/usr/lib/x86_64-linux-gnu/pkgconfig)
foreach(package piecepaint piecepaint_static)
  run("pkg-config ${package}" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcdir}
      PKG_CONFIG_LIBDIR=${pcdir} pkg-config --cflags --libs --static ${package})
  string(STRIP "${out}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(paths 0)
  foreach(flag ${flags})
    if(flag MATCHES "^-[IL](.*)$")
      set(path ${CMAKE_MATCH_1})
      if(NOT IS_DIRECTORY ${path} OR NOT path MATCHES "^${destdir}/usr/")
        message(FATAL_ERROR "${package}: ${flag} names no directory of the install")
      endif()
      math(EXPR paths "${paths} + 1")
    endif()
  endforeach()
  if(NOT paths EQUAL 2)
    message(FATAL_ERROR "${package}: expected an include and a library path: ${flags}")
  endif()
  if(package STREQUAL "piecepaint_static")
    set(static_flags ${flags})
  endif()
endforeach()
if(NOT EXISTS ${destdir}/usr/include/piecepaint/version.h)
  message(FATAL_ERROR "version.h is not installed")
endif()
run("C-only link with pkg-config's static flags" cc -o ${work}/pc_static_consumer
    ${SOURCE_DIR}/tests/package/consumer/main.c ${static_flags})
run("C-only static consumer run" ${work}/pc_static_consumer)
file(REMOVE_RECURSE ${usr})
