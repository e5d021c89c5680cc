# The start-up tests run the demo program and the game as they are released, from folders of
# their own.
add_dependencies(test_${name} demo game)
target_compile_definitions(test_${name} PRIVATE DEMO_PROGRAM="$<TARGET_FILE:demo>"
  GAME_PROGRAM="$<TARGET_FILE:game>")
