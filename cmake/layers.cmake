# The layers of Sigmat, one static library each, linking only what lies below:
#
#   numerics <- store <- curves <- process <- jobs <- app
#                                   process <- dialog (platform/*.h) <- app, headless, qt
#
# A layer's code sees the headers of its own layer and of those it links, nothing else: its
# include path is a folder of its own ("view") that holds links to just those headers, under
# their usual names ("store/paths.h"). An include from a layer above is not found, and the build
# fails there, not at review.

set(SIGMAT_VIEWS_DIR ${CMAKE_BINARY_DIR}/layer-views)
set(SIGMAT_ALL_VIEWS "")

# sigmat_layer(NAME SOURCES src... HEADERS glob... [LINKS lib...])
# Builds the library sigmat_NAME from SOURCES; the headers matched by the HEADERS globs (paths
# relative to the source root) make its view.
function(sigmat_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;HEADERS;LINKS" ${ARGN})
  set(view ${SIGMAT_VIEWS_DIR}/${name})
  set(headers "")
  foreach(pattern ${L_HEADERS})
    file(GLOB found CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${pattern})
    list(APPEND headers ${found})
  endforeach()
  foreach(header ${headers})
    get_filename_component(folder ${view}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    if(NOT EXISTS ${view}/${header})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${view}/${header} SYMBOLIC COPY_ON_ERROR)
    endif()
  endforeach()
  add_library(sigmat_${name} STATIC ${L_SOURCES})
  # The Python module links the layers into a shared object.
  set_target_properties(sigmat_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(sigmat_${name} PUBLIC ${view})
  target_link_libraries(sigmat_${name} PUBLIC ${L_LINKS})
  target_compile_options(sigmat_${name} PRIVATE ${SIGMAT_WARNINGS})
  if(NOT MSVC)
    # The exact conversions count on every product and sum rounding on its own: no fused
    # multiply-adds where a target has them.
    target_compile_options(sigmat_${name} PRIVATE -ffp-contract=off)
  endif()
  set(SIGMAT_ALL_VIEWS ${SIGMAT_ALL_VIEWS} ${view} PARENT_SCOPE)
endfunction()
