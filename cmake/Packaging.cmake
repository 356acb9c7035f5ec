# Packages of what `cmake --install` puts in place. In the build folder, `cpack -G DEB` makes
# a Debian package of the program, quillmarrow-cli, the desktop file and the icons; its
# dependencies are the packages of the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME quillmarrow)
set(CPACK_PACKAGE_VENDOR Quillmarrow)
set(CPACK_PACKAGE_CONTACT "Quillmarrow <quillmarrow@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of the long description stay within 80 columns, as Debian's tools expect.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Opens simple archive files, lists and views their entries, and copies the\n"
    "selected entries into a folder, one file per entry, or drags them out. It\n"
    "also writes archives: replaces, adds and removes entries, or makes new ones.\n"
    "quillmarrow-cli does the same from the command line.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.com/quillmarrow/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quillmarrow_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# On Windows, `cpack -G ZIP` in the build folder makes quillmarrow-VERSION-win64.zip: one folder
# that runs where nothing is installed, with the Qt DLLs and plugins the window loads and, where
# the programs link it as DLLs, the MinGW runtime (and what cmake/Windows.cmake adds: the sample
# archive, README.txt and the licences). The DLLs are stripped as the programs are
# (CPACK_STRIP_FILES, cmake --install --strip). `cpack -G NSIS` makes
# quillmarrow-VERSION-win64-setup.exe, an installer of the same files, from cmake/NSIS.template.in.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/Windows.cmake)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake)
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}) # NSIS.template.in
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillmarrow) # in Program Files
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quillmarrow) # the same key for every version
  set(CPACK_NSIS_PACKAGE_NAME Quillmarrow)
  set(CPACK_NSIS_DISPLAY_NAME Quillmarrow)
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/windows/quillmarrow.ico)
  set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
  set(CPACK_NSIS_VERSION4 ${PROJECT_VERSION}.0)
  set(CPACK_NSIS_COPYRIGHT "${QUILLMARROW_COPYRIGHT}")
  function(quillmarrow_install_dll file name folder)
    install(FILES ${file} DESTINATION ${folder})
    if(CMAKE_STRIP)
      install(CODE "if(CMAKE_INSTALL_DO_STRIP)
          execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}/${name}\")
        endif()")
    endif()
  endfunction()
  if(QUILLMARROW_GUI)
    foreach(target Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Concurrent)
      quillmarrow_install_dll($<TARGET_FILE:${target}> $<TARGET_FILE_NAME:${target}>
                              ${CMAKE_INSTALL_BINDIR})
    endforeach()
    # The image readers are the formats the viewer shows beyond PNG and BMP, which Qt Gui reads
    # itself.
    foreach(plugin platforms/QWindowsIntegration styles/QWindowsVistaStyle
                   imageformats/QGif imageformats/QICO imageformats/QJpeg)
      get_filename_component(folder ${plugin} DIRECTORY)
      get_filename_component(target ${plugin} NAME)
      set(target Qt6::${target}Plugin)
      quillmarrow_install_dll($<TARGET_FILE:${target}> $<TARGET_FILE_NAME:${target}>
                              ${CMAKE_INSTALL_BINDIR}/${folder})
    endforeach()
  endif()
  foreach(dll ${QUILLMARROW_MINGW_RUNTIME})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
      message(FATAL_ERROR "The MinGW runtime ${dll} was not found")
    endif()
    quillmarrow_install_dll(${path} ${dll} ${CMAKE_INSTALL_BINDIR})
  endforeach()
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
