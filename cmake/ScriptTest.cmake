# Page-script tests. cscript exits 0 on a syntax error or an uncaught exception, so a
# script test passes only when its last line is its verdict "VERDICT PASS <script>", and
# fails on any line with "FAIL" or "UNEXPECTED" (a non-zero exit prints one, see
# script-test.sh). Every script ends with one of:
#     VERDICT PASS <script>
#     VERDICT FAIL <script>: <n> failed
set(FOLIUM_SCRIPT_PASS "VERDICT PASS [^\r\n]*[\r\n]*$")
set(FOLIUM_SCRIPT_FAIL "FAIL|UNEXPECTED")

# folium_script_test(<name> COMMAND <program> <args>... [ENVIRONMENT <var=value>...]
#                    [PROPERTIES <test properties>...])
function(folium_script_test name)
    cmake_parse_arguments(ST "" "" "COMMAND;ENVIRONMENT;PROPERTIES" ${ARGN})
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/cmake/script-test.sh ${ST_COMMAND})
    set_tests_properties(${name} PROPERTIES
        PASS_REGULAR_EXPRESSION "${FOLIUM_SCRIPT_PASS}"
        FAIL_REGULAR_EXPRESSION "${FOLIUM_SCRIPT_FAIL}")
    if(ST_ENVIRONMENT)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ST_ENVIRONMENT}")
    endif()
    if(ST_PROPERTIES)
        set_tests_properties(${name} PROPERTIES ${ST_PROPERTIES})
    endif()
endfunction()

# Writes to <out> a copy of <script> broken after its first line: "syntax" adds a syntax
# error, "throw" an uncaught error at the top level. The harness tests run such copies
# under the rule above and expect it to reject them.
function(folium_broken_script_copy out script how)
    file(READ ${script} text)
    string(FIND "${text}" "\n" eol)
    math(EXPR rest "${eol} + 1")
    string(SUBSTRING "${text}" 0 ${rest} head)
    string(SUBSTRING "${text}" ${rest} -1 tail)
    get_filename_component(ext ${script} EXT)
    if(how STREQUAL "syntax" AND ext STREQUAL ".vbs")
        set(broken "If Then Else\n")
    elseif(how STREQUAL "syntax")
        set(broken "var = ;\n")
    elseif(ext STREQUAL ".vbs")
        set(broken "Err.Raise 5\n")
    else()
        set(broken "undefinedFunction();\n")
    endif()
    file(WRITE ${out} "${head}${broken}${tail}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
endfunction()
