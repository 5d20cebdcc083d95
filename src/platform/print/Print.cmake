# The printer object and its devices. The PDF device and the layouts need only QtGui; the
# installed printers go through QtPrintSupport, which pulls in QtWidgets, so they live in vorn_gui.
find_path(ZINT_INCLUDE_DIR zint.h REQUIRED)
find_library(ZINT_LIBRARY NAMES zint-static zint REQUIRED)

target_sources(vorn_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Printer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Code39Symbol.cpp ${CMAKE_CURRENT_LIST_DIR}/Code39Symbol.h
    ${CMAKE_CURRENT_LIST_DIR}/PdfPrintDevice.cpp ${CMAKE_CURRENT_LIST_DIR}/PdfPrintDevice.h
    ${CMAKE_CURRENT_LIST_DIR}/PrintDevice.h
    ${CMAKE_CURRENT_LIST_DIR}/PrinterCatalog.cpp ${CMAKE_CURRENT_LIST_DIR}/PrinterCatalog.h
)
target_include_directories(vorn_core PRIVATE ${ZINT_INCLUDE_DIR})
target_link_libraries(vorn_core PUBLIC ${ZINT_LIBRARY})

target_sources(vorn_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SystemPrintDevice.cpp ${CMAKE_CURRENT_LIST_DIR}/SystemPrintDevice.h
)
