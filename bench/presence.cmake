# Presence monitor: CPU time of the idle monitor and listener (keyboard present and absent,
# in-process and over the FUSE node) and how long unplugging and replugging take to be noticed.
if(TARGET orvane_device AND TARGET orvane_sim)
  orvane_add_bench(presence_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/presence_bench.cpp ${PROJECT_SOURCE_DIR}/tests/e2e/simkbd_process.cpp
    LIBS orvane_device orvane_sim orvane_platform)
  target_compile_definitions(presence_bench PRIVATE ORVANE_DATA_DIR="${ORVANE_DATA_DIR}")
  if(TARGET orvane-simkbd)
    add_dependencies(presence_bench orvane-simkbd)
  endif()
endif()
