# The real-window benchmark drives built programs inside a private X server, through the
# real-window tests' harness.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_sources(bench_window PRIVATE
  ${PROJECT_SOURCE_DIR}/tests/e2e/x_session.cpp
  ${PROJECT_SOURCE_DIR}/tests/e2e/screen_reader.cpp)
target_link_libraries(bench_window PRIVATE PkgConfig::X11)
add_dependencies(bench_window demo game)
target_compile_definitions(bench_window PRIVATE
  DEMO_PROGRAM="$<TARGET_FILE:demo>"
  GAME_PROGRAM="$<TARGET_FILE:game>")
