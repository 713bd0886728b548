# Skin framework: painting an image button (one block copy), building a window outline from a
# dialog-sized mask picture, and preparing a state picture.
if(TARGET orvane_ui_skin)
  orvane_add_bench(ui_skin_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_skin_bench.cpp LIBS orvane_ui_skin)
endif()
