# cmake -P script run by the qvradkit_consumer test: installs the build in BUILD_DIR into a prefix
# under WORK_DIR, then configures, builds and runs the consumer project in SOURCE_DIR against that
# prefix with find_package(QVRAdKit). GENERATOR, CXX and BUILD_TYPE repeat the project's; SANITIZE
# (its QVR_SANITIZE) is passed on, because a sanitized library links only into a sanitized program.
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ConsumerTest.cmake needs -D${var}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "failed (${result}): ${command}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${prefix} ${build})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE} -fno-omit-frame-pointer")
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON
    "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${build})
run(${build}/qvradkit_consumer)
