# What the Windows build adds to the programs and to the copy that `cmake --install` makes, which
# the portable zip and the installer both pack (included by Packaging.cmake): each .exe gets the
# program's icon, version information and an application manifest, and beside the programs go
# LICENSE, the licence notices of the MinGW runtime, zlib and Qt, and README.txt (the sample
# archive comes from resources/). The texts are for Windows users and have CR LF line ends.
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

# Writes TEXT to FILE with CR LF line ends, only when it changes.
function(quillmarrow_write_windows_text file text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

# The text of FILE without the blank lines around it; a change to FILE configures again.
function(quillmarrow_read_text var file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: the Windows build ships its text")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} text)
  string(STRIP "${text}" text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# A text for Windows users: TEMPLATE with its @VARIABLES@ replaced, with CR LF line ends.
function(quillmarrow_windows_notice template output)
  quillmarrow_read_text(text ${template})
  string(CONFIGURE "${text}\n" text @ONLY)
  quillmarrow_write_windows_text(${output} "${text}")
endfunction()

# The text of Debian's FILE from the line that starts with BEGIN up to the line that starts with
# END (not included), without the blank lines around it.
function(quillmarrow_debian_text var file begin end)
  quillmarrow_read_text(text ${file})
  string(FIND "${text}" "\n${begin}" from)
  if(from GREATER_EQUAL 0)
    string(SUBSTRING "${text}" ${from} -1 text)
    string(FIND "${text}" "\n${end}" to)
  endif()
  if(from LESS 0 OR to LESS 0)
    message(FATAL_ERROR "${file} has no text from '${begin}' to '${end}'")
  endif()
  string(SUBSTRING "${text}" 0 ${to} text)
  string(STRIP "${text}" text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The same from a stanza of a machine-readable copyright file, with its continuation lines
# made plain text: the leading blank taken off and a lone full stop made an empty line.
function(quillmarrow_debian_stanza var file begin end)
  quillmarrow_debian_text(text ${file} "${begin}" "${end}")
  string(REGEX REPLACE "\n \\.(\n|$)" "\n\n" text "${text}")
  string(REGEX REPLACE "\n \\.(\n|$)" "\n\n" text "${text}") # a second pass for ". ." runs
  string(REPLACE "\n " "\n" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The notices are made from Debian's own files when the build is the cross build on Debian
# (Debian's MinGW-w64, and the Qt for Windows built from Debian's qt6-base source, whose tools
# are the host's qt6-base-dev-tools of the same version): they are the notices of the very files
# it ships.
set(gcc_copyright /usr/share/doc/gcc-mingw-w64-base/copyright)
set(mingw_copyright /usr/share/doc/mingw-w64-x86-64-dev/copyright)
set(qt_copyright /usr/share/doc/libqt6core6/copyright)
set(zlib_copyright /usr/share/doc/libz-mingw-w64-dev/copyright)
set(notices ${QUILLMARROW_WINDOWS_BINARY}/licenses)
if(MINGW AND CMAKE_CROSSCOMPILING AND EXISTS ${gcc_copyright} AND EXISTS ${mingw_copyright}
   AND EXISTS ${zlib_copyright})
  string(REGEX MATCH "^[0-9]+" QUILLMARROW_GCC_MAJOR ${CMAKE_CXX_COMPILER_VERSION})
  quillmarrow_read_text(QUILLMARROW_GPL3 /usr/share/common-licenses/GPL-3)
  quillmarrow_debian_text(QUILLMARROW_GCC_COPYRIGHT ${gcc_copyright}
      "GCC is Copyright" "The libbacktrace library")
  quillmarrow_debian_text(QUILLMARROW_GCC_EXCEPTION ${gcc_copyright}
      "GCC RUNTIME LIBRARY EXCEPTION" "libquadmath/")
  quillmarrow_debian_stanza(QUILLMARROW_WINPTHREADS_COPYRIGHT ${mingw_copyright}
      "Files: mingw-w64-libraries/winpthreads/*" "Files: mingw-w64-libraries/winpthreads/src/")
  quillmarrow_debian_stanza(QUILLMARROW_EXPAT ${mingw_copyright}
      "License: expat\n Permission" "\n")
  quillmarrow_windows_notice(${QUILLMARROW_WINDOWS_SOURCE}/licenses/MinGW-runtime.txt.in
                             ${notices}/MinGW-runtime.txt)
  install(FILES ${notices}/MinGW-runtime.txt DESTINATION ${CMAKE_INSTALL_BINDIR}/licenses)
  quillmarrow_debian_stanza(QUILLMARROW_ZLIB_COPYRIGHT ${zlib_copyright} "Files: *\n" "\n")
  quillmarrow_debian_stanza(QUILLMARROW_ZLIB_LICENSE ${zlib_copyright}
      "License: Zlib\n This software" "\n")
  quillmarrow_windows_notice(${QUILLMARROW_WINDOWS_SOURCE}/licenses/zlib.txt.in ${notices}/zlib.txt)
  install(FILES ${notices}/zlib.txt DESTINATION ${CMAKE_INSTALL_BINDIR}/licenses)
  if(QUILLMARROW_GUI)
    quillmarrow_read_text(QUILLMARROW_LGPL3 /usr/share/common-licenses/LGPL-3)
    quillmarrow_read_text(QUILLMARROW_QT_COPYRIGHT ${qt_copyright})
    quillmarrow_windows_notice(${QUILLMARROW_WINDOWS_SOURCE}/licenses/Qt.txt.in ${notices}/Qt.txt)
    install(FILES ${notices}/Qt.txt DESTINATION ${CMAKE_INSTALL_BINDIR}/licenses)
  endif()
else()
  message(WARNING "Not the cross build on Debian: the package gets no licence notices of the "
                  "MinGW runtime, zlib and Qt (resources/windows/licenses)")
endif()

quillmarrow_write_windows_text(${QUILLMARROW_WINDOWS_BINARY}/LICENSE "${QUILLMARROW_LICENSE}")
install(FILES ${QUILLMARROW_WINDOWS_BINARY}/LICENSE DESTINATION ${CMAKE_INSTALL_BINDIR})
if(QUILLMARROW_GUI)
  quillmarrow_windows_notice(${QUILLMARROW_WINDOWS_SOURCE}/README.txt.in
                             ${QUILLMARROW_WINDOWS_BINARY}/README.txt)
  install(FILES ${QUILLMARROW_WINDOWS_BINARY}/README.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
