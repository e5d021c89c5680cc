# The game's tests drive its program and play its sound files from the folder it runs in.
target_link_libraries(test_game PRIVATE game_program)
target_compile_definitions(test_game PRIVATE GAME_BUILD_FOLDER="${PROJECT_BINARY_DIR}/game")
add_dependencies(test_game game_sounds)
