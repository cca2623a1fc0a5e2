# The Linux build: the whole program on a simulated desktop, with stand-ins for
# the Dock's preference tools.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)

file(GLOB VELMORYN_LINUX_SOURCES CONFIGURE_DEPENDS src/platform/linux/*.cc)
add_library(velmoryn_linux STATIC ${VELMORYN_LINUX_SOURCES})
target_include_directories(velmoryn_linux PUBLIC src)
target_compile_definitions(velmoryn_linux PUBLIC ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(velmoryn_linux PUBLIC velmoryn_core velmoryn_posix PkgConfig::PLIST
                      PkgConfig::CAIRO Threads::Threads)

add_executable(velmoryn src/app/main.cc)
target_link_libraries(velmoryn PRIVATE velmoryn_core velmoryn_linux)

add_subdirectory(tools)
