# Layering by include paths. Every source includes our headers by their path
# from the top of the tree ("engine/core/pixel_image.h"), but no target sees
# the whole tree: ovl_expose(target path...) makes a private tree under
# <build>/include/<target> holding links to just the given folders or files,
# and puts it on the target's public include path. A target therefore reaches
# its own folder and the folders of the targets it links (CMake passes
# public include paths down the link graph), and an include that runs the
# wrong way, up or sideways, fails to build.
function(ovl_expose target)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(path IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${path})
      message(FATAL_ERROR "ovl_expose(${target}): no such path ${path}")
    endif()
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
