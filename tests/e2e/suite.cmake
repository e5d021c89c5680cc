# The real-window suite drives built programs inside a private X server.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(test_${name} PRIVATE PkgConfig::X11)
add_dependencies(test_${name} demo)
target_compile_definitions(test_${name} PRIVATE
  DEMO_PROGRAM="$<TARGET_FILE:demo>")
# Its timings are what a user sees; it runs alone, not beside a loaded machine's other tests.
set(suite_properties RUN_SERIAL TRUE)
if(TARGET game)
  add_dependencies(test_${name} game)
  target_compile_definitions(test_${name} PRIVATE GAME_PROGRAM="$<TARGET_FILE:game>")
endif()
if(TARGET game_program)
  target_link_libraries(test_${name} PRIVATE game_program)
endif()
