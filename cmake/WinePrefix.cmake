# The private Wine prefix the tests and the demo run in, made once per build folder.
set(FOLIUM_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FOLIUM_WINE ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh)
add_custom_command(OUTPUT ${FOLIUM_WINEPREFIX}/.folium-ready
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${FOLIUM_WINEPREFIX} ${CMAKE_SOURCE_DIR}/cmake/make-prefix.sh
    COMMENT "Creating the Wine prefix" VERBATIM)
# Chinese face names mapped onto an installed Chinese font (also for prefixes made earlier).
add_custom_command(OUTPUT ${FOLIUM_WINEPREFIX}/.folium-fonts
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${FOLIUM_WINEPREFIX} ${CMAKE_SOURCE_DIR}/cmake/prefix-fonts.sh
    DEPENDS ${FOLIUM_WINEPREFIX}/.folium-ready ${CMAKE_SOURCE_DIR}/cmake/prefix-fonts.sh
    COMMENT "Mapping Chinese font names in the Wine prefix" VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${FOLIUM_WINEPREFIX}/.folium-ready ${FOLIUM_WINEPREFIX}/.folium-fonts)
