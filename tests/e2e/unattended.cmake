# Quorlen.exe and RestartPrompt.exe where nobody watches (at boot too), beside a virus
# scanner, and the outcome event of each kind of run: `ctest -L unattended` runs these alone.
foreach(case HiddenStationReplaces SecondDesktopWaits HiddenStationNoInstallation
             HiddenStationCopyImpossible HiddenStationStagingFails ShownBoxReportsToo
             RestartPromptHiddenStation BootDesktopReplaces BootDesktopRestartPrompt
             UnpressedBoxReportsFirst ScannerHoldsTheCopy AlreadyNewList)
    set(name "Unattended.${case}")
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/unattended.sh ${CMAKE_SOURCE_DIR}/scripts
            ${CMAKE_BINARY_DIR}/.. ${CMAKE_SOURCE_DIR}/resources/vexo_regions.txt ${case})
    set_tests_properties(${name} PROPERTIES LABELS unattended TIMEOUT 120)
endforeach()
