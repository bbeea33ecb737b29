# tovra_add_library(<target> ALIAS <Name> SOURCES ... [PUBLIC ...] [PRIVATE ...])
# One shared library per folder, installed and exported as TovraDocs::<Name>.
function(tovra_add_library target)
  cmake_parse_arguments(A "" "ALIAS" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${target} SHARED ${A_SOURCES})
  add_library(TovraDocs::${A_ALIAS} ALIAS ${target})
  string(TOLOWER "${A_ALIAS}" lower)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME tovradocs-${lower}
    EXPORT_NAME ${A_ALIAS}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${target} PUBLIC ${A_PUBLIC} PRIVATE ${A_PRIVATE})
  install(TARGETS ${target} EXPORT TovraDocsTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endfunction()

# tovra_add_test(<name> SOURCES ... DEPENDS ... [LABELS ...])
# One Qt Test executable per unit; every test runs on the offscreen platform.
function(tovra_add_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  # One source file each; a unity wrapper would only make GCC see test-local types as header types.
  set_target_properties(${name} PROPERTIES UNITY_BUILD OFF)
  target_link_libraries(${name} PRIVATE Qt6::Test tovra_testsupport ${A_DEPENDS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/runtime-tovradocs"
    LABELS "${A_LABELS}"
    TIMEOUT 600)
endfunction()
