# Portable sources (no Windows types), compiled into the component DLL by the
# Windows build and into a static library by the native build. CookieText.cpp
# and AnnotRecords.cpp need nlohmann-json on the include path
# (FOLIUM_JSON_INCLUDE when cross building). Defines no targets.
set(FOLIUM_PORTABLE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Base64.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CookieText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AnnotRecords.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Quantizer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GifEncoder.cpp
)
