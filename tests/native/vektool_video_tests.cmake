# Videos through a platform decoder and files dropped onto vektool: the portable parts.
if(TARGET vektool_video_drop_test)
  target_link_libraries(vektool_video_drop_test PRIVATE vektool_lib)
endif()
