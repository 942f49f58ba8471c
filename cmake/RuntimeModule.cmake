# orv_runtime_module(TARGET): a dynamic library that a program of ours loads
# at run time (the password manager's modules and their test stand-ins).
# Each links its own copy of the library, whose process-wide tables outlive
# static destructors; on Linux it is therefore never unmapped once loaded
# (its loader keeps it loaded anyway).
function(orv_runtime_module target)
  target_link_libraries(${target} PRIVATE orv)
  if(NOT WIN32)
    target_link_options(${target} PRIVATE -Wl,-z,nodelete)
  endif()
endfunction()
