# One library per folder: every .cpp of the folder belongs to it, headers live beside the sources
# and are included as "folder/Header.h" from the repository root.
function(sondesk_module name)
  cmake_parse_arguments(M "" "" "DEPS;SYSTEM_DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.S)
  if(NOT _src)
    # A folder whose code is still to come: an interface library, so its dependents link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${M_DEPS} ${M_SYSTEM_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror>)
  target_link_libraries(${name} PUBLIC ${M_DEPS} ${M_SYSTEM_DEPS})
endfunction()

# One test program per folder of tests/: every .cpp in tests/<folder>, linked with GoogleTest and
# the given libraries, named test_<folder>.
function(sondesk_tests folder)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _src)
    return()
  endif()
  set(name test_${folder})
  add_executable(${name} ${_src})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror)
  target_link_libraries(${name} PRIVATE ${T_DEPS} sondesk_testsupport GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SONDESK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SONDESK_BINARY_DIR="${PROJECT_BINARY_DIR}"
    SONDESK_PROGRAM_DIR="${PROJECT_BINARY_DIR}/program"
    SONDESK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 600)
endfunction()

# The shared-object name (libfoo.so.N) of the library at `library_path`, for a library the program
# opens by name when first needed instead of linking it; stops the configure when it cannot be told.
function(sondesk_soname_of out library_path stem)
  file(REAL_PATH "${library_path}" _real)
  get_filename_component(_real "${_real}" NAME)
  string(REGEX MATCH "^${stem}\\.so\\.[0-9]+" _soname "${_real}")
  if(NOT _soname)
    message(FATAL_ERROR "cannot tell the shared-object name of ${stem} from ${_real}")
  endif()
  set(${out} ${_soname} PARENT_SCOPE)
endfunction()
