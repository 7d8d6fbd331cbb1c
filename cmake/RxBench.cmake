# qvradkit_rx_bench: the stream benchmarks (bench/RxBench*.cpp). When RxCpp's headers are found
# (Debian's librxcpp-dev), the same pipelines built with RxCpp run beside ours for comparison;
# RxCpp is only ever a dependency of this benchmark program, never of the library.
# QVR_BENCH_RXCPP=OFF leaves the comparison out even where RxCpp is installed.
include(CheckIncludeFileCXX)
option(QVR_BENCH_RXCPP "Compare the stream benchmarks with RxCpp when its headers are found" ON)
file(GLOB QVR_RX_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/RxBench*.cpp)
if(QVR_BENCH_RXCPP)
  set(CMAKE_REQUIRED_FLAGS -std=c++20)
  check_include_file_cxx(rxcpp/rx.hpp QVR_HAVE_RXCPP)
  unset(CMAKE_REQUIRED_FLAGS)
endif()
if(NOT QVR_BENCH_RXCPP OR NOT QVR_HAVE_RXCPP)
  list(FILTER QVR_RX_BENCH_SOURCES EXCLUDE REGEX "/RxBenchRxCpp\\.cpp$")
  message(STATUS "qvradkit_rx_bench: without the RxCpp comparison")
endif()
add_executable(qvradkit_rx_bench ${QVR_RX_BENCH_SOURCES}
                                 ${CMAKE_CURRENT_SOURCE_DIR}/bench/AllocationCounter.cpp
                                 ${CMAKE_CURRENT_SOURCE_DIR}/bench/BenchMain.cpp)
target_link_libraries(qvradkit_rx_bench PRIVATE qvradkit benchmark::benchmark)
qvr_set_warnings(qvradkit_rx_bench)
