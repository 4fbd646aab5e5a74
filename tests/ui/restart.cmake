# The restart prompt under other system languages: German and French variants must show
# the German (Germany) and French (France) tables, Spanish the Spanish (Spain) one,
# Japanese its own, Portuguese (Portugal) the Brazilian and Chinese (Hong Kong) the
# Taiwanese one. A third field sets the thread locale of a user whose formats differ
# from the system's: the system's table all the same, English where it has none.
foreach(entry "de_AT;1031" "fr_CA;1036" "es_ES;1034" "ja_JP;1041" "pt_PT;1046" "zh_HK;1028"
              "en_US;1033;0x0419" "zh_TW;1028;0x0804" "ja_JP;1041;0x0407" "th_TH;1033;0x0419")
    list(GET entry 0 locale)
    list(GET entry 1 expected)
    set(thread_locale "")
    set(name "RestartPromptTest.ShowsTheSystemLanguageTexts.${locale}")
    list(LENGTH entry field_count)
    if(field_count GREATER 2)
        list(GET entry 2 thread_locale)
        string(APPEND name ".thread${thread_locale}")
    endif()
    add_test(NAME ${name} COMMAND ui_tests
        --gtest_filter=RestartPromptTest.ShowsTheSystemLanguageTextsAtItsPlaceWithRestartNowAsDefault)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120 ENVIRONMENT
        "QUORLEN_LC_ALL=${locale}.UTF-8;QUORLEN_EXPECT_LANG=${expected};QUORLEN_THREAD_LOCALE=${thread_locale}")
endforeach()

# The real reboot, in a prefix and wineserver of its own (never the shared one): run by
# bash directly, not through the emulator. Making that prefix takes a while the first
# time; later runs reuse it.
add_test(NAME RestartPrompt.RealRebootInOwnPrefix
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/ui/restart-reboot.sh ${CMAKE_SOURCE_DIR}
        ${QUORLEN_BENCH_DIR} $<TARGET_FILE:RestartPrompt> $<TARGET_FILE:PressRestartButton>)
set_tests_properties(RestartPrompt.RealRebootInOwnPrefix PROPERTIES TIMEOUT 300)
