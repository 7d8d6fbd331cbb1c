# The module's layers, one object library per folder of QVRAdKit/ (qvradkit_Rx, ...; aliases
# QVRAdKit::Rx, ...), each linking only the layers below it that it may use. A layer's sources
# see only the headers of the layers it links: each layer's include root under
# <build>/layers/<Layer> holds nothing but a link QVRAdKit/<Layer> to its folder, so an include
# that breaks the layering fails to compile ("No such file or directory") instead of linking.
# Every .cpp under a layer's folder (subfolders included) belongs to it, found at build time, so a
# new file lands in its layer without touching this file.
#
# qvradkit, the library hosts link (QVRAdKit::qvradkit, installed and exported), is the objects
# of every layer in one static archive, with the whole tree's headers.

# qvr_module_layer(<Layer> [DEPENDS <Layer>...]): the object library for QVRAdKit/<Layer>/.
function(qvr_module_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DEPENDS")
  set(root ${CMAKE_CURRENT_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${root}/QVRAdKit)
  if(NOT EXISTS ${root}/QVRAdKit/${layer})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/${layer} ${root}/QVRAdKit/${layer}
         SYMBOLIC)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/${layer}/*.cpp)
  set(target qvradkit_${layer})
  add_library(${target} OBJECT ${sources} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/empty.cpp)
  add_library(QVRAdKit::${layer} ALIAS ${target})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  target_compile_features(${target} PUBLIC cxx_std_20)
  foreach(dependency IN LISTS arg_DEPENDS)
    target_link_libraries(${target} PUBLIC qvradkit_${dependency})
  endforeach()
  qvr_set_warnings(${target})
  qvr_unity_by_folder(${target})
  set_property(GLOBAL APPEND PROPERTY QVR_MODULE_LAYERS ${target})
endfunction()

# The layering. A layer lists the layers it includes directly; what they link comes with them.
qvr_module_layer(Rx)
qvr_module_layer(Platform DEPENDS Rx)
target_link_libraries(qvradkit_Platform PUBLIC Threads::Threads)
qvr_module_layer(Host DEPENDS Platform)
qvr_module_layer(SDK DEPENDS Platform)
qvr_module_layer(UI DEPENDS Platform)
qvr_module_layer(Config DEPENDS Host)
qvr_module_layer(ClientKit DEPENDS UI Host)
qvr_module_layer(Reporting DEPENDS Config Host)
qvr_module_layer(Consent DEPENDS SDK Host)
qvr_module_layer(Ads DEPENDS Reporting SDK Host)
qvr_module_layer(Builders DEPENDS Ads Config Reporting Host)
qvr_module_layer(Banner DEPENDS ClientKit UI Host)
qvr_module_layer(Services DEPENDS Builders Ads Consent Config SDK Host UI)

# A folder of QVRAdKit/ that is not a layer above would build into nothing: refuse it.
file(GLOB QVR_MODULE_FOLDERS LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit
     ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/*)
foreach(folder IN LISTS QVR_MODULE_FOLDERS)
  if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/${folder}
     AND NOT TARGET qvradkit_${folder})
    message(FATAL_ERROR "QVRAdKit/${folder} is not a layer: add it to cmake/ModuleLayers.cmake")
  endif()
endforeach()

get_property(QVR_MODULE_LAYERS GLOBAL PROPERTY QVR_MODULE_LAYERS)
set(QVR_MODULE_OBJECTS "")
foreach(layer IN LISTS QVR_MODULE_LAYERS)
  list(APPEND QVR_MODULE_OBJECTS $<TARGET_OBJECTS:${layer}>)
endforeach()
add_library(qvradkit STATIC ${QVR_MODULE_OBJECTS} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/empty.cpp)
add_library(QVRAdKit::qvradkit ALIAS qvradkit)
target_include_directories(qvradkit PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(qvradkit PUBLIC cxx_std_20)
target_link_libraries(qvradkit PUBLIC Threads::Threads)
qvr_set_warnings(qvradkit)
