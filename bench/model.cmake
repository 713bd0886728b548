# Model benchmarks: macro area encode/decode, text pool pack/unpack.
if(TARGET orvane_model)
  orvane_add_bench(model_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_macro_area.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/model_text_pool.cpp
                   LIBS orvane_model)
endif()
