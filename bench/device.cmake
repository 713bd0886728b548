# Device link: transactions per second in-process and over the FUSE node (next to a raw
# write/read loop on the same node), a key block write and a full-size macro area write.
if(TARGET orvane_device AND TARGET orvane_sim)
  orvane_add_bench(device_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/device_bench.cpp ${PROJECT_SOURCE_DIR}/tests/e2e/simkbd_process.cpp
    LIBS orvane_device orvane_sim orvane_platform)
  target_compile_definitions(device_bench PRIVATE ORVANE_DATA_DIR="${ORVANE_DATA_DIR}")
  if(TARGET orvane-simkbd)
    add_dependencies(device_bench orvane-simkbd)
  endif()
endif()
