# Cross-build for 64-bit Windows: Qt for Windows (VORN_QT_WINDOWS) and the static libraries
# cross-built into VORN_WIN_DEPS (zint, libsodium), both named on the command line.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORN_QT_WINDOWS VORN_WIN_DEPS)
if(NOT VORN_QT_WINDOWS OR NOT EXISTS "${VORN_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "VORN_QT_WINDOWS must name a Qt 6 for Windows prefix (see scripts/build-windows)")
endif()
include("${VORN_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
if(VORN_WIN_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH "${VORN_WIN_DEPS}")
    # pkg-config finds only the Windows libraries, never the host's.
    set(ENV{PKG_CONFIG_LIBDIR} "${VORN_WIN_DEPS}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
