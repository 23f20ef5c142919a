# The recording buffer's append path: 120 minutes of capture-sized writes past a 30 s reservation.
add_executable(bench_soundmemorystream ${CMAKE_CURRENT_LIST_DIR}/SoundmemorystreamBench.cpp)
target_link_libraries(bench_soundmemorystream PRIVATE sound)
