# Installs the geometry library into a fresh prefix, then configures, builds
# and runs the consumer project against that prefix alone.
#
# Expected -D variables: BUILD_DIR, SOURCE_DIR (of the consumer), WORK_DIR,
# CONFIG, GENERATOR, C_COMPILER, CXX_COMPILER, EXTRA_LINK_FLAGS (may be empty).
# A cross build also passes TOOLCHAIN_FILE and EMULATOR (the consumer is
# built with the same toolchain and run through the emulator); both may be
# empty.
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR C_COMPILER CXX_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run.cmake needs -D${var}=...")
  endif()
endforeach()
# CONFIG is empty in a single-configuration build without CMAKE_BUILD_TYPE;
# the install step then must not name one, or it skips the exported target.
set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()

set(prefix ${WORK_DIR}/prefix)
set(consumer_build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} ${config_args}
    --component kalu7_math --prefix ${prefix})

foreach(f include/kalu7/math/types.h include/kalu7/math/matrix.h
          include/kalu7/math/inverse.h include/kalu7/math/channel.h)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(GLOB_RECURSE internal ${prefix}/*fp_check.h)
if(internal)
  message(FATAL_ERROR "an internal header was installed: ${internal}")
endif()

set(toolchain_args "")
if(TOOLCHAIN_FILE)
  set(toolchain_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${consumer_build} -G ${GENERATOR} ${toolchain_args}
    "-DCMAKE_BUILD_TYPE=${CONFIG}"
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${consumer_build} ${config_args})

find_program(consumer NAMES consumer consumer.exe PATHS ${consumer_build} ${consumer_build}/${CONFIG}
             NO_DEFAULT_PATH REQUIRED)
run(${EMULATOR} ${consumer})
