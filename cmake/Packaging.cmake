# Packages of what `cmake --install` puts in place. In the build folder, `cpack -G DEB` makes
# a Debian package of the program, quillmarrow-cli, the desktop file and the icons; its
# dependencies are the packages of the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME quillmarrow)
set(CPACK_PACKAGE_VENDOR Quillmarrow)
set(CPACK_PACKAGE_CONTACT "Quillmarrow <quillmarrow@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of the long description stay within 80 columns, as Debian's tools expect.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Opens simple archive files, lists their entries and copies the selected\n"
    "entries into a folder, one file per entry. quillmarrow-cli does the same\n"
    "from the command line.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.com/quillmarrow/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quillmarrow_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# On Windows, `cpack -G ZIP` in the build folder makes quillmarrow-VERSION-win64.zip: a folder
# that runs where nothing is installed, with the Qt DLLs and plugins the window loads and, where
# the programs link it as DLLs, the MinGW runtime.
if(WIN32)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  if(QUILLMARROW_GUI)
    foreach(module Core Gui Widgets Concurrent)
      install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
    endforeach()
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
  endif()
  foreach(dll ${QUILLMARROW_MINGW_RUNTIME})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
      message(FATAL_ERROR "The MinGW runtime ${dll} was not found")
    endif()
    install(FILES ${path} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()
endif()

include(CPack)
