# Apply: the current layer, and all three layers with a full macro area, in-process and over the
# FUSE node, with the number of reports each apply sends next to the fewest the format needs.
if(TARGET orvane_model AND TARGET orvane_sim)
  orvane_add_bench(apply_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/apply_bench.cpp ${PROJECT_SOURCE_DIR}/tests/e2e/simkbd_process.cpp
    LIBS orvane_model orvane_device orvane_sim orvane_platform)
  target_compile_definitions(apply_bench PRIVATE ORVANE_DATA_DIR="${ORVANE_DATA_DIR}")
  if(TARGET orvane-simkbd)
    add_dependencies(apply_bench orvane-simkbd)
  endif()
endif()
