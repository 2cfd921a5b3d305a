# The plug-in's code and its tests as 32-bit x86 Linux programs (g++-multilib),
# run under qemu-i386 user-mode emulation: size checks and pointer widths meet
# a real 32-bit address space. Floating point in SSE2, as in the 32-bit DLL.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /)
