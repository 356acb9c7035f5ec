# What the Windows build adds to the programs (included by Packaging.cmake): each .exe gets the
# program's icon, version information and an application manifest.
set(QUILLMARROW_WINDOWS_SOURCE ${PROJECT_SOURCE_DIR}/resources/windows)
set(QUILLMARROW_WINDOWS_BINARY ${PROJECT_BINARY_DIR}/windows)

# The copyright line of LICENSE, and its holder without the years.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE QUILLMARROW_LICENSE)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT QUILLMARROW_LICENSE MATCHES "(Copyright \\(c\\) [0-9, -]+ ([^\n]+))")
  message(FATAL_ERROR "LICENSE has no copyright line")
endif()
set(QUILLMARROW_COPYRIGHT "${CMAKE_MATCH_1}")
set(QUILLMARROW_COMPANY "${CMAKE_MATCH_2}")
set(QUILLMARROW_VERSION4 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
string(REPLACE . , QUILLMARROW_RC_VERSION ${QUILLMARROW_VERSION4})

# The icon group IDI_ICON1 (quillmarrow.ico, which resources/windows/make-icon.sh makes from the
# program's icons), the version information and the manifest, compiled into TARGET.
function(quillmarrow_windows_resources target description)
  set(QUILLMARROW_RC_NAME ${target})
  set(QUILLMARROW_RC_FILE ${target}.exe)
  set(QUILLMARROW_RC_DESCRIPTION "${description}")
  set(QUILLMARROW_RC_ICON ${QUILLMARROW_WINDOWS_SOURCE}/quillmarrow.ico)
  set(QUILLMARROW_RC_MANIFEST ${QUILLMARROW_WINDOWS_BINARY}/${target}.manifest)
  set(rc ${QUILLMARROW_WINDOWS_BINARY}/${target}.rc)
  configure_file(${QUILLMARROW_WINDOWS_SOURCE}/program.manifest.in ${QUILLMARROW_RC_MANIFEST} @ONLY)
  configure_file(${QUILLMARROW_WINDOWS_SOURCE}/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
      OBJECT_DEPENDS "${QUILLMARROW_RC_ICON};${QUILLMARROW_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  if(MSVC)
    target_link_options(${target} PRIVATE /MANIFEST:NO) # the manifest is the resource's
  endif()
endfunction()

quillmarrow_windows_resources(quillmarrow-cli "Quillmarrow command-line tool")
if(QUILLMARROW_GUI)
  quillmarrow_windows_resources(quillmarrow "Quillmarrow")
endif()
