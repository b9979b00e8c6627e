# folium_widl(<name> <idl file> [TLB]): runs widl for the header and the interface
# identifiers (and the type library with TLB) into ${CMAKE_BINARY_DIR}/idl.
set(WIDL x86_64-w64-mingw32-widl)
set(WINE_IDL_DIR /usr/include/wine/wine/windows)
set(WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(FOLIUM_IDL_OUT ${CMAKE_BINARY_DIR}/idl)
file(MAKE_DIRECTORY ${FOLIUM_IDL_OUT})

function(folium_widl name idl)
    cmake_parse_arguments(W "TLB" "" "DEPENDS" ${ARGN})
    set(flags -m64 -I${WINE_IDL_DIR} -I${CMAKE_SOURCE_DIR}/idl -I${FOLIUM_IDL_OUT} -L ${WINE_TLB_DIR})
    set(outs ${FOLIUM_IDL_OUT}/${name}.h ${FOLIUM_IDL_OUT}/${name}_i.c)
    set(cmds
        COMMAND ${WIDL} ${flags} -h -o ${FOLIUM_IDL_OUT}/${name}.h ${idl}
        COMMAND ${WIDL} ${flags} -u -o ${FOLIUM_IDL_OUT}/${name}_i.c ${idl})
    if(W_TLB)
        # widl copies string bytes into the library as they stand, and the type library
        # reader decodes them in the ANSI code page (936 on the systems this serves), so
        # the library is made from a GBK copy of the UTF-8 source.
        set(gbk ${FOLIUM_IDL_OUT}/${name}.gbk.idl)
        list(APPEND outs ${FOLIUM_IDL_OUT}/${name}.tlb)
        list(APPEND cmds
            COMMAND iconv -f UTF-8 -t GBK -o ${gbk} ${idl}
            COMMAND ${WIDL} ${flags} -t -o ${FOLIUM_IDL_OUT}/${name}.tlb ${gbk})
    endif()
    add_custom_command(OUTPUT ${outs} ${cmds}
        DEPENDS ${idl} ${W_DEPENDS} WORKING_DIRECTORY ${FOLIUM_IDL_OUT} VERBATIM)
    add_custom_target(idl_${name} DEPENDS ${outs})
endfunction()
