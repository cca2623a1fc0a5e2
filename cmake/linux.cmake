# The Linux build: the whole program on a simulated desktop, with stand-ins for
# the Dock's preference tools. Three libraries, each linking only what its
# folder may include (tools/check_includes.py checks the includes):
#   velmoryn_linux     the real Linux adapters: run loop, files, property lists,
#                      settings, log, icon; on what is real on both systems
#   velmoryn_sim       the simulated desktop and Dock, built on the run loop
#   velmoryn_platform  the simulation's composition root: both behind the platform
#                      factory, with what is real on both systems
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)

add_library(velmoryn_linux STATIC
  src/platform/linux/files_linux.cc
  src/platform/linux/icon_renderer_linux.cc
  src/platform/linux/log_linux.cc
  src/platform/linux/output_backlog_linux.cc
  src/platform/linux/property_list_linux.cc
  src/platform/linux/login_items_linux.cc
  src/platform/linux/run_loop_linux.cc
  src/platform/linux/settings_store_linux.cc)
target_include_directories(velmoryn_linux PUBLIC src)
target_compile_definitions(velmoryn_linux PUBLIC ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(velmoryn_linux PUBLIC velmoryn_posix PkgConfig::PLIST PkgConfig::CAIRO
                      PkgConfig::GLIB Threads::Threads)

add_library(velmoryn_sim STATIC
  src/sim/console.cc
  src/sim/control_channel.cc
  src/sim/control_command.cc
  src/sim/dock_domain.cc
  src/sim/number_format.cc
  src/sim/simulated_apple_script.cc
  src/sim/simulated_application.cc
  src/sim/simulated_desktop.cc
  src/sim/simulated_dock.cc
  src/sim/simulated_hot_keys.cc
  src/sim/simulated_running_instance.cc
  src/sim/simulated_scroll_monitors.cc
  src/sim/simulated_status_bar.cc
  src/sim/simulated_tool_runner.cc)
target_link_libraries(velmoryn_sim PUBLIC velmoryn_linux)

add_library(velmoryn_platform STATIC src/sim/simulated_platform.cc)
target_link_libraries(velmoryn_platform PUBLIC velmoryn_linux velmoryn_sim velmoryn_posix)

add_executable(velmoryn src/app/main.cc)
target_link_libraries(velmoryn PRIVATE velmoryn_core velmoryn_platform)

add_subdirectory(tools)
