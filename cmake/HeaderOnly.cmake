# CLI11, nlohmann-json and stb are header-only. A library of them is reached through a folder of
# the build that holds nothing but a link to its own headers, so that a cross compiler never
# searches the host's /usr/include, where the host's C library lies too.
set(QUILLBOX_HEADER_ROOT /usr/include CACHE PATH "The folder holding the header-only libraries' folders (CLI, nlohmann, stb)")

function(quillbox_header_only_library target folder probe)
  if(NOT EXISTS "${QUILLBOX_HEADER_ROOT}/${folder}/${probe}")
    message(FATAL_ERROR "${QUILLBOX_HEADER_ROOT}/${folder}/${probe} is missing; scripts/setup-debian.sh installs it")
  endif()
  set(root "${CMAKE_BINARY_DIR}/header-only/${folder}")
  file(MAKE_DIRECTORY "${root}")
  file(CREATE_LINK "${QUILLBOX_HEADER_ROOT}/${folder}" "${root}/${folder}" SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE "${root}")
endfunction()
