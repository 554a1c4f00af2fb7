# One test program per test_*.cpp file of the calling folder, linked with `library` and the
# shared test helpers. Extra arguments are further libraries.
function(nurivo_add_module_tests prefix library)
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(src IN LISTS test_sources)
    get_filename_component(name ${src} NAME_WE)
    set(target ${prefix}_${name})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${library} nurivo_testutil ${ARGN})
    target_compile_definitions(${target} PRIVATE
      NURIVO_TEST_DATA="${NURIVO_TEST_DATA}"
      NURIVO_TEST_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures")
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()

# One test program per test_*.cpp file of the calling folder for widget tests: each runs inside
# a QApplication on the offscreen platform with the scripted dialogs (tests/shell/gui_main.cpp).
function(nurivo_add_gui_tests prefix library)
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(src IN LISTS test_sources)
    get_filename_component(name ${src} NAME_WE)
    set(target ${prefix}_${name})
    add_executable(${target} ${src} ${CMAKE_SOURCE_DIR}/tests/shell/gui_main.cpp)
    target_link_libraries(${target} PRIVATE ${library} nurivo_testutil Qt6::Test ${ARGN})
    target_compile_definitions(${target} PRIVATE
      NURIVO_TEST_DATA="${NURIVO_TEST_DATA}"
      NURIVO_TEST_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures"
      NURIVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      NURIVO_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
  endforeach()
endfunction()
