# HID descriptor parser: parsing a keyboard-sized descriptor and pulling usages from a report.
orvane_add_bench(hid_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/hid_descriptor_bench.cpp LIBS orvane_platform)
