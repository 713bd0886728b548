# HID descriptor parser: parsing a keyboard-sized descriptor and pulling usages from a report.
orvane_add_bench(bench_hid SOURCES ${CMAKE_CURRENT_LIST_DIR}/hid_descriptor_bench.cpp LIBS orvane_platform)
