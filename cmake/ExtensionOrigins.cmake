# orv_check_extension_origins(ORIGINS): stops with the reason when an origin
# is not one the browsers and orvnm accept (chrome-extension://<32 letters
# a-p>/), so that a bad origin fails the build, not the package's install.
function(orv_check_extension_origins origins)
  string(REPEAT "[a-p]" 32 id)  # CMake's expressions have no {32}
  foreach(origin IN LISTS origins)
    if(NOT origin MATCHES "^chrome-extension://${id}/$")
      message(FATAL_ERROR "ORV_EXTENSION_ORIGINS: \"${origin}\" is not chrome-extension://<32 letters a-p>/")
    endif()
  endforeach()
endfunction()

# orv_extension_origin_list(OUT TEXT): the origins of TEXT, which may separate
# them by ";", "," or blanks.
function(orv_extension_origin_list out text)
  string(REGEX REPLACE "[ \t\r\n,;]+" ";" origins "${text}")
  list(REMOVE_ITEM origins "")
  list(REMOVE_DUPLICATES origins)
  set(${out} "${origins}" PARENT_SCOPE)
endfunction()
