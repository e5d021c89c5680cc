# The example programs, run as released: headless, and in a private X server with the
# real-window suite's helpers. Real windows keep the timings a user sees: the suite runs alone.
if(NOT TARGET PkgConfig::X11)
  pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
endif()
target_sources(test_${name} PRIVATE ${dir}/../e2e/x_session.cpp ${dir}/../e2e/screen_reader.cpp)
target_include_directories(test_${name} PRIVATE ${dir}/../e2e)
target_link_libraries(test_${name} PRIVATE PkgConfig::X11)
add_dependencies(test_${name} rings jukebox)
target_compile_definitions(test_${name} PRIVATE
  RINGS_PROGRAM="$<TARGET_FILE:rings>" JUKEBOX_PROGRAM="$<TARGET_FILE:jukebox>")
set(suite_properties RUN_SERIAL TRUE)
