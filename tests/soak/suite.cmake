# The soak plays the game with the game suite's scripted player and its endings.
target_sources(test_${name} PRIVATE
  ${dir}/../game/player.cpp ${dir}/../game/scripts.cpp ${dir}/../game/endings.cpp)
target_include_directories(test_${name} PRIVATE ${dir}/../game)
target_link_libraries(test_${name} PRIVATE game_program)
target_compile_definitions(test_${name} PRIVATE GAME_BUILD_FOLDER="${PROJECT_BINARY_DIR}/game")
add_dependencies(test_${name} game_sounds)
