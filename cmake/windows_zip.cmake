# What the Windows zip holds, as install rules: cmake --install into a folder, which
# scripts/windows zips. The program, the Qt DLLs and the two plugins it needs, the MinGW
# runtime those DLLs link, LISEZMOI.txt, and the licences with where Qt's source is (and
# hidapi's, which is linked in).
install(TARGETS velmorin velmorin-check RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
        DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# Qt's DLLs link the compiler's runtime as DLLs (the program itself has it linked in).
get_filename_component(mingw_bin ${CMAKE_CXX_COMPILER} DIRECTORY)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(libwinpthread libwinpthread-1.dll PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH
          REQUIRED)
install(FILES ${libstdcxx} ${libgcc} ${libwinpthread} DESTINATION .)

install(FILES ${PROJECT_SOURCE_DIR}/data/windows/LISEZMOI.txt DESTINATION .)
# The serial backpack's Arduino sketch, to flash with the Arduino IDE.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/arduino/velmorin-backpack DESTINATION arduino)
# Qt is LGPL-3 (or GPL-2/3): its licence texts, Debian's copyright file for the very source
# it was built from, and where that source is. The runtime's terms come with it.
install(FILES ${PROJECT_SOURCE_DIR}/data/windows/SOURCES-QT.txt
              /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
              /usr/share/common-licenses/GPL-2
        DESTINATION licences)
install(FILES /usr/share/doc/libqt6core6/copyright DESTINATION licences RENAME qt6-base.copyright)
install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright DESTINATION licences
        RENAME gcc-mingw-w64.copyright)
install(FILES /usr/share/doc/mingw-w64-common/copyright DESTINATION licences
        RENAME mingw-w64.copyright)
# hidapi, linked in: its licence texts and Debian's copyright file for its source.
file(GLOB hidapi_licences ${hidapi_DIR}/../../../licences/*)
install(FILES ${hidapi_licences} DESTINATION licences/hidapi)
# libzip and zlib, linked into velmorin-check: the same.
file(GLOB libzip_licences ${libzip_DIR}/../../../licences/*)
install(FILES ${libzip_licences} DESTINATION licences/libzip)
file(WRITE ${PROJECT_BINARY_DIR}/velmorin-version.txt "${VELMORIN_VERSION}\n")
