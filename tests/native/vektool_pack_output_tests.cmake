# The default output of an installed vektool's pack.
if(TARGET vektool_pack_output_test)
  target_link_libraries(vektool_pack_output_test PRIVATE vektool_lib)
endif()
