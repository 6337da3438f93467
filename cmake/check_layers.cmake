# Fails when a source file includes a header from a layer it may not use, or
# when a layer that must stay free of Qt includes a Qt header, and when the
# layer table of docs/architecture.md says other than this file. Run by every
# build (target check_layers) and by scripts/test:
#   cmake -DSOURCE_DIR=<repository> [-DLAYER_DOC=<file>] -P cmake/check_layers.cmake
#
# Each entry is a folder, "|", and the folders whose headers it may include. The order is the layering of src/CMakeLists.txt.
cmake_minimum_required(VERSION 3.25)

set(layers
  "src/net|"
  "src/rules|src/net"
  "src/bots|src/net src/rules"
  "src/launch|src/net"
  "src/play|src/net src/rules src/bots src/launch"
  "src/players|src/net src/rules src/launch src/play"
  "src/items|src/net"
  "src/dialogs|src/net src/rules src/launch src/play src/players"
  "src/render|src/net src/rules src/launch src/play"
  "src/replay|src/net src/rules src/bots src/launch src/play"
  "src/ui/platform|src/net src/rules src/launch src/play src/players"
  "src/ui/dialogs|src/net src/rules src/launch src/play src/players src/dialogs src/ui/platform"
  "src/ui/play|src/net src/rules src/launch src/play src/render src/ui/platform"
  "src/ui/render|src/net src/rules src/launch src/play src/render src/ui/platform"
  "src/app|src/net src/rules src/launch src/play src/players src/items src/dialogs src/render src/replay src/ui/platform src/ui/dialogs src/ui/play src/ui/render"
  "server/core|src/net src/rules src/bots"
  "server/web|src/net src/rules src/bots src/launch src/play src/replay server/core"
  "server/qt|src/net src/rules src/bots server/core server/web")
# Folders whose code must build without Qt.
set(qt_free src/net src/rules src/bots src/launch src/play src/players src/items src/dialogs src/render
            src/replay server/core server/web)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers: pass -DSOURCE_DIR=<repository>")
endif()

# The folder an include names: "ui/render/x.h" -> src/ui/render,
# "server/core/x.h" -> server/core, "net/x.h" -> src/net.
function(folder_of_include include out)
  string(REGEX MATCH "^[^/]+/[^/]+/" two "${include}")
  string(REGEX MATCH "^[^/]+/" one "${include}")
  if(two MATCHES "^ui/")
    string(REGEX REPLACE "/$" "" two "${two}")
    set(${out} "src/${two}" PARENT_SCOPE)
  elseif(two MATCHES "^server/")
    string(REGEX REPLACE "/$" "" two "${two}")
    set(${out} "${two}" PARENT_SCOPE)
  elseif(one)
    string(REGEX REPLACE "/$" "" one "${one}")
    set(${out} "src/${one}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(failures 0)
foreach(entry ${layers})
  string(REGEX REPLACE "[| ]+" ";" parts "${entry}")
  list(GET parts 0 folder)
  set(allowed ${parts})
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include [\"<]")
    file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
    foreach(line ${includes})
      if(line MATCHES "^#include <(Q[A-Za-z]*)>" AND folder IN_LIST qt_free)
        message(SEND_ERROR "${shown}: ${folder} must not use Qt (${line})")
        math(EXPR failures "${failures} + 1")
      elseif(line MATCHES "^#include \"([^\"]+)\"")
        set(include "${CMAKE_MATCH_1}")
        folder_of_include("${include}" target)
        if(target AND EXISTS ${SOURCE_DIR}/${target} AND NOT target IN_LIST allowed)
          message(SEND_ERROR "${shown}: ${folder} may not include ${include} (${target})")
          math(EXPR failures "${failures} + 1")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

# The document's table: one row per layer, "| `folder` | targets | uses | what |",
# the uses written without "src/" ("net, rules, server/core") or "—".
if(NOT LAYER_DOC)
  set(LAYER_DOC ${SOURCE_DIR}/docs/architecture.md)
endif()
file(READ ${LAYER_DOC} doc)
string(REGEX MATCHALL "\n\\| `(src|server)/[^`]*` \\|[^|\n]*\\|[^|\n]*\\|" rows "${doc}")
set(documented "")
foreach(row ${rows})
  string(REGEX MATCH "`([^`]+)` \\|[^|]*\\|([^|]*)\\|" _ "${row}")
  set(folder "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "[a-z/]+" names "${CMAKE_MATCH_2}")
  set(uses "")
  foreach(name ${names})
    if(NOT name MATCHES "^server/")
      set(name "src/${name}")
    endif()
    list(APPEND uses ${name})
  endforeach()
  list(SORT uses)
  list(APPEND documented ${folder})
  set(doc_uses_${folder} "${uses}")
endforeach()
foreach(entry ${layers})
  string(REGEX REPLACE "[| ]+" ";" parts "${entry}")
  list(POP_FRONT parts folder)
  list(SORT parts)
  if(NOT folder IN_LIST documented)
    message(SEND_ERROR "layer table: no row for ${folder} in ${LAYER_DOC}")
    math(EXPR failures "${failures} + 1")
  elseif(NOT "${doc_uses_${folder}}" STREQUAL "${parts}")
    message(SEND_ERROR "layer table: ${folder} differs: ${LAYER_DOC} lets it use "
                       "'${doc_uses_${folder}}', the layering allows '${parts}'")
    math(EXPR failures "${failures} + 1")
  endif()
  list(REMOVE_ITEM documented ${folder})
endforeach()
foreach(folder ${documented})
  message(SEND_ERROR "layer table: ${folder} is no layer, but ${LAYER_DOC} lists it")
  math(EXPR failures "${failures} + 1")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "check_layers: ${failures} fault(s) in the layering or its table")
endif()
