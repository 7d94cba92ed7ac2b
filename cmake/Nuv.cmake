# nuv_library(<target> [deps...]): every .cpp of the calling folder (not its subfolders) becomes
# one static library; includes are rooted at src/ ("platform/os/registry_store.h").
function(nuv_library name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
       ${CMAKE_CURRENT_SOURCE_DIR}/*.S)
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# nuv_test_suite(<target> [deps...]): every *_test.cpp of the calling folder becomes one GoogleTest
# executable whose cases ctest lists one by one. Other .cpp files of the folder are test helpers
# linked into it.
function(nuv_test_suite name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE NUV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             NUV_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # Every test sees the loopback endpoint overlay unless it sets its own.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300 ENVIRONMENT
                       "NUV_RESOURCE_DIR=${PROJECT_SOURCE_DIR}/tests/fixtures/loopback")
endfunction()
