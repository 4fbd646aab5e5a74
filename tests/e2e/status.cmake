# The status script under Wine's cscript, one row per state of a PC: `ctest -L status`.
foreach(case NoInstallation NoInstallationRun Superseded HeldThenRestarted NewListOtherDate
             OtherList WholeCopyNoList WholeCopyNoListWscript Server2003 NewYorkSuperseded
             TokyoOtherDay RunInHiddenStation)
    set(name "Status.${case}")
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/status.sh ${CMAKE_SOURCE_DIR}/scripts
            ${CMAKE_BINARY_DIR}/.. ${CMAKE_SOURCE_DIR}/resources/vexo_regions.txt ${case})
    set_tests_properties(${name} PROPERTIES LABELS status TIMEOUT 180)
endforeach()
