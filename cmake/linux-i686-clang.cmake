# 32-bit Linux with clang, for the fuzzer (libFuzzer with AddressSanitizer
# and UndefinedBehaviorSanitizer).
include(${CMAKE_CURRENT_LIST_DIR}/linux-i686.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
