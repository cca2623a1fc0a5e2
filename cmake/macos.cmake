# The macOS build: Velmoryn.app, a universal menu-bar app bundle made of the
# portable core, the shared POSIX process runner and the Objective-C++ adapters.
set(VELMORYN_ENTITLEMENTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/Velmoryn.entitlements)
# Drawn by tools/app_icon on Linux and committed: the Mac build needs no cairo.
set(VELMORYN_APP_ICON ${CMAKE_CURRENT_SOURCE_DIR}/packaging/macos/AppIcon.icns)

file(GLOB VELMORYN_MACOS_SOURCES CONFIGURE_DEPENDS
  src/platform/macos/*.mm src/platform/macos/*.cc)

add_executable(Velmoryn MACOSX_BUNDLE src/app/main.cc ${VELMORYN_MACOS_SOURCES}
               ${VELMORYN_APP_ICON})
set_source_files_properties(${VELMORYN_APP_ICON} PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
target_link_libraries(Velmoryn PRIVATE velmoryn_core velmoryn_posix
  "-framework AppKit" "-framework Carbon" "-framework ServiceManagement"
  "-framework CoreFoundation")
# Apple's headers mark what may be nil; without the warning a nullable result
# passed where they require non-null compiles silently.
target_compile_options(Velmoryn PRIVATE
  $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc -Wnullable-to-nonnull-conversion>)

# Filled in here rather than by the bundle machinery, so that every value
# comes from this file.
configure_file(cmake/Info.plist.in ${CMAKE_CURRENT_BINARY_DIR}/Info.plist @ONLY)
set_target_properties(Velmoryn PROPERTIES
  OUTPUT_NAME Velmoryn
  OBJCXX_STANDARD 20
  OBJCXX_STANDARD_REQUIRED ON
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/Info.plist
  # The signature covers all three: an edit of any must relink and so re-sign.
  LINK_DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/Info.plist;${VELMORYN_ENTITLEMENTS};${VELMORYN_APP_ICON}")

# Apple silicon runs no unsigned code, and Automation needs the hardened
# runtime's Apple-events entitlement. Ad hoc by default: no certificate needed,
# but every build gets a new signature, so macOS asks for Automation and
# login-item approval again after each rebuild. A release passes its
# Developer ID identity, and notarization then needs a secure timestamp.
set(VELMORYN_CODESIGN_IDENTITY "-" CACHE STRING "The identity codesign signs with; - is ad hoc")
set(VELMORYN_CODESIGN codesign --force --options runtime --entitlements ${VELMORYN_ENTITLEMENTS}
    --sign ${VELMORYN_CODESIGN_IDENTITY})
if(NOT VELMORYN_CODESIGN_IDENTITY STREQUAL "-")
  list(APPEND VELMORYN_CODESIGN --timestamp)
endif()
add_custom_command(TARGET Velmoryn POST_BUILD
  COMMAND ${VELMORYN_CODESIGN} $<TARGET_BUNDLE_DIR:Velmoryn>
  COMMENT "Signing Velmoryn.app"
  VERBATIM)

# `cmake --install build/macos` puts the app in /Applications; the disk image
# below installs the same rule into its own folder.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /Applications CACHE PATH "Where cmake --install puts the app" FORCE)
endif()
install(TARGETS Velmoryn BUNDLE DESTINATION .)
# Installing may rewrite the executable; sign the installed copy again so the
# signature always matches what is on disk.
list(JOIN VELMORYN_CODESIGN "\" \"" VELMORYN_CODESIGN_QUOTED)
install(CODE "execute_process(COMMAND \"${VELMORYN_CODESIGN_QUOTED}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/Velmoryn.app\" COMMAND_ERROR_IS_FATAL ANY)")

# The disk image: `cmake --build --preset macos-release --target package` makes
# build/macos/Velmoryn-<version>.dmg, the app beside a link to /Applications.
set(CPACK_GENERATOR DragNDrop)
set(CPACK_PACKAGE_NAME Velmoryn)
set(CPACK_PACKAGE_VENDOR "the Velmoryn developers")
set(CPACK_PACKAGE_FILE_NAME ${VELMORYN_DISK_IMAGE_NAME})
set(CPACK_DMG_VOLUME_NAME "Velmoryn ${PROJECT_VERSION}")
include(CPack)
