# Configure-time checks that the build holds everything it should (included at the end of the
# top-level CMakeLists.txt):
#  - every library target in ORVANE_LIBRARY_TARGETS exists;
#  - every folder of the tree with a CMakeLists.txt was added, unless an option leaves it out;
#  - every .cpp file of an added folder is a source of one of that folder's targets, or one an
#    option leaves out (orvane_left_out_by_option).

foreach(target IN LISTS ORVANE_LIBRARY_TARGETS)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "library target ${target} is missing from the build")
  endif()
endforeach()

# The folders CMake has processed, from the top down.
function(orvane_collect_dirs dir out)
  set(all ${dir})
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    orvane_collect_dirs(${sub} below)
    list(APPEND all ${below})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()
orvane_collect_dirs(${PROJECT_SOURCE_DIR} ORVANE_ADDED_DIRS)

# Folders the options leave out.
set(ORVANE_OPTIONAL_DIRS)
if(NOT ORVANE_BUILD_UI)
  list(APPEND ORVANE_OPTIONAL_DIRS "ui(/.*)?" "app" "tools/skingen" "tools/gallery" "tests/ui.*" "tests/skin" "tests/app")
endif()
if(NOT ORVANE_BUILD_TESTS)
  list(APPEND ORVANE_OPTIONAL_DIRS "tests(/.*)?")
endif()
if(NOT ORVANE_BUILD_BENCH)
  list(APPEND ORVANE_OPTIONAL_DIRS "bench")
endif()

file(GLOB_RECURSE ORVANE_ALL_LISTS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/*/CMakeLists.txt)
foreach(lists IN LISTS ORVANE_ALL_LISTS)
  get_filename_component(rel ${lists} DIRECTORY)
  # Build trees inside the source tree are not part of it.
  if(EXISTS ${PROJECT_SOURCE_DIR}/${rel}/CMakeCache.txt OR rel MATCHES "^build" OR rel MATCHES "/CMakeFiles/")
    continue()
  endif()
  set(optional FALSE)
  foreach(pattern IN LISTS ORVANE_OPTIONAL_DIRS)
    if(rel MATCHES "^${pattern}$")
      set(optional TRUE)
    endif()
  endforeach()
  if(NOT optional AND NOT ${PROJECT_SOURCE_DIR}/${rel} IN_LIST ORVANE_ADDED_DIRS)
    message(FATAL_ERROR "${rel}/CMakeLists.txt is not part of the build: add the folder to its parent's list")
  endif()
endforeach()

# Sources of every target of every added folder (a folder may build a file of another one).
get_property(ORVANE_LISTED GLOBAL PROPERTY ORVANE_LEFT_OUT_SOURCES)
foreach(dir IN LISTS ORVANE_ADDED_DIRS)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(sources ${target} SOURCES)
    if(sources)
      foreach(source IN LISTS sources)
        get_filename_component(abs ${source} ABSOLUTE BASE_DIR ${dir})
        list(APPEND ORVANE_LISTED ${abs})
      endforeach()
    endif()
  endforeach()
endforeach()
foreach(dir IN LISTS ORVANE_ADDED_DIRS)
  file(GLOB dir_sources RELATIVE ${dir} ${dir}/*.cpp)
  foreach(source IN LISTS dir_sources)
    if(NOT ${dir}/${source} IN_LIST ORVANE_LISTED)
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir}/${source})
      message(FATAL_ERROR "${rel} belongs to no target: list it in ${dir}/CMakeLists.txt")
    endif()
  endforeach()
endforeach()
