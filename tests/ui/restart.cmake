# The restart prompt under other system languages: German and French variants must show
# the German (Germany) and French (France) tables, Spanish the Spanish (Spain) one, and
# Japanese the table the resource loader picks for it.
foreach(entry "de_AT;1031" "fr_CA;1036" "es_ES;1034" "ja_JP;1041")
    list(GET entry 0 locale)
    list(GET entry 1 expected)
    set(name "RestartPromptTest.ShowsTheSystemLanguageTexts.${locale}")
    add_test(NAME ${name} COMMAND ui_tests
        --gtest_filter=RestartPromptTest.ShowsTheSystemLanguageTextsAtItsPlaceWithRestartNowAsDefault)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120
        ENVIRONMENT "QUORLEN_LC_ALL=${locale}.UTF-8;QUORLEN_EXPECT_LANG=${expected}")
endforeach()

# The real reboot, in a prefix and wineserver of its own (never the shared one): run by
# bash directly, not through the emulator. Making that prefix takes a while the first
# time; later runs reuse it.
add_test(NAME RestartPrompt.RealRebootInOwnPrefix
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/ui/restart-reboot.sh ${CMAKE_SOURCE_DIR}
        ${QUORLEN_BENCH_DIR} $<TARGET_FILE:RestartPrompt> $<TARGET_FILE:PressRestartButton>)
set_tests_properties(RestartPrompt.RealRebootInOwnPrefix PROPERTIES TIMEOUT 300)
