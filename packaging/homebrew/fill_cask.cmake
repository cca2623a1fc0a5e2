# Fills the cask template for one release:
#   cmake -DVERSION=1.0.0 -DSHA256=<64 hex digits> -DREPOSITORY=owner/name \
#         -DOUTPUT=velmoryn.rb -P packaging/homebrew/fill_cask.cmake
foreach(name VERSION SHA256 REPOSITORY OUTPUT)
  if(NOT ${name})
    message(FATAL_ERROR "${name} is missing")
  endif()
endforeach()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "not a version: ${VERSION}")
endif()
string(LENGTH "${SHA256}" length)
if(NOT SHA256 MATCHES "^[0-9a-f]+$" OR NOT length EQUAL 64)
  message(FATAL_ERROR "not a SHA-256 in lower-case hex: ${SHA256}")
endif()
if(NOT REPOSITORY MATCHES "^[A-Za-z0-9_.-]+/[A-Za-z0-9_.-]+$")
  message(FATAL_ERROR "not an owner/name: ${REPOSITORY}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/velmoryn.rb.in ${OUTPUT} @ONLY)
