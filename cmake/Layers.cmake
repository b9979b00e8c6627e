# One static library per folder of the component, each built from the explicit list of
# its own sources and linked only to the folders below it:
#   support  <  bridge  <  facade, addin, module  <  the DLL (module/)
# A source that reaches upwards leaves an undefined symbol in its folder's library,
# which the layer checks below turn into a link failure.
set(FOLIUM_WARNINGS -Wall -Wextra -Wno-cast-function-type)

function(folium_layer name)
    cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${FOLIUM_IDL_OUT} ${FOLIUM_JSON_INCLUDE} ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${name} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FOLIUM_WARNINGS}>)
    target_link_libraries(${name} PUBLIC folium_ids ${L_LINKS})
endfunction()

# Links every object of the given libraries, and nothing above them, into a throw-away
# DLL: a DLL must resolve every symbol, so a reference to a higher folder fails here.
function(folium_layer_check name)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}.c)
    file(WRITE ${stub} "/* Layer check: only the libraries linked in. */\n")
    add_library(${name} SHARED ${stub})
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
    set(whole)
    foreach(lib ${ARGN})
        list(APPEND whole $<TARGET_FILE:${lib}>)
        add_dependencies(${name} ${lib})
    endforeach()
    target_link_libraries(${name} PRIVATE -Wl,--whole-archive ${whole} -Wl,--no-whole-archive
        $<TARGET_FILE:folium_ids> ${FOLIUM_SYSTEM_LIBS})
    add_dependencies(${name} folium_ids)
    target_link_options(${name} PRIVATE ${FOLIUM_STATIC_LINK})
    set_target_properties(${name} PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer-check
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer-check LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer-check)
endfunction()

set(FOLIUM_SYSTEM_LIBS ole32 oleaut32 uuid version shlwapi shell32 comdlg32 user32 gdi32 advapi32 winhttp ws2_32
    iphlpapi)
