# The macOS build: Velmoryn.app, a universal menu-bar app bundle made of the
# portable core, the shared POSIX process runner and the Objective-C++ adapters.
set(VELMORYN_BUNDLE_ID "app.velmoryn.Velmoryn")
set(VELMORYN_ENTITLEMENTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/Velmoryn.entitlements)

file(GLOB VELMORYN_MACOS_SOURCES CONFIGURE_DEPENDS
  src/platform/macos/*.mm src/platform/macos/*.cc)

add_executable(Velmoryn MACOSX_BUNDLE src/app/main.cc ${VELMORYN_MACOS_SOURCES})
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
  # The signature covers both: an edit of either must relink and so re-sign.
  LINK_DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/Info.plist;${VELMORYN_ENTITLEMENTS}")

# Apple silicon runs no unsigned code, and Automation needs the hardened
# runtime's Apple-events entitlement. Ad hoc: no certificate needed, but every
# build gets a new signature, so macOS asks for Automation and login-item
# approval again after each rebuild.
set(VELMORYN_CODESIGN codesign --force --options runtime
  --entitlements ${VELMORYN_ENTITLEMENTS} --sign -)
add_custom_command(TARGET Velmoryn POST_BUILD
  COMMAND ${VELMORYN_CODESIGN} $<TARGET_BUNDLE_DIR:Velmoryn>
  COMMENT "Signing Velmoryn.app ad hoc"
  VERBATIM)

install(TARGETS Velmoryn BUNDLE DESTINATION /Applications)
# Installing may rewrite the executable; sign the installed copy again so the
# signature always matches what is on disk.
install(CODE "execute_process(COMMAND codesign --force --options runtime --entitlements \"${VELMORYN_ENTITLEMENTS}\" --sign - \"\$ENV{DESTDIR}/Applications/Velmoryn.app\" COMMAND_ERROR_IS_FATAL ANY)")
