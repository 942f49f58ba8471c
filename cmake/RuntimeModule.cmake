# orv_runtime_module(TARGET): a dynamic library that a program of ours loads
# at run time (the password manager's modules and their test stand-ins). It
# links the shared library, so it uses the copy the program already loaded:
# one set of process-wide values, one allocator. Unloading it unmaps only its
# own code.
function(orv_runtime_module target)
  target_link_libraries(${target} PRIVATE orv)
endfunction()
