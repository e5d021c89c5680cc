# The start-up tests run the demo program as it is released, from folders of their own.
add_dependencies(test_${name} demo)
target_compile_definitions(test_${name} PRIVATE DEMO_PROGRAM="$<TARGET_FILE:demo>")
