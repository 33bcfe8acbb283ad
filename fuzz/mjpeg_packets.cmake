# Feeds arbitrary packets to the MJPEG header walk and table completion of
# the recorder's media layer.
corvanta_fuzz_target(fuzz_mjpeg_packets
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_mjpeg_packets.cpp
  LIBS corvanta_recorder_media)
