# The localized message box once per language of the string table, and for variants
# that must show another table. Each entry: LC_ALL, the system language Wine must derive
# from it, and the table language the box must show.
set(localized_box_cases
    "zh_TW.UTF-8|0x0404|0x0404"
    "cs_CZ.UTF-8|0x0405|0x0405"
    "da_DK.UTF-8|0x0406|0x0406"
    "de_DE.UTF-8|0x0407|0x0407"
    "el_GR.UTF-8|0x0408|0x0408"
    "en_US.UTF-8|0x0409|0x0409"
    # Wine's spelling for the traditional sort; plain es_ES gives the modern 0x0C0A.
    "es_ES_tradnl.UTF-8|0x040A|0x040A"
    "fi_FI.UTF-8|0x040B|0x040B"
    "fr_FR.UTF-8|0x040C|0x040C"
    "hu_HU.UTF-8|0x040E|0x040E"
    "it_IT.UTF-8|0x0410|0x0410"
    "ja_JP.UTF-8|0x0411|0x0411"
    "ko_KR.UTF-8|0x0412|0x0412"
    "nl_NL.UTF-8|0x0413|0x0413"
    "nb_NO.UTF-8|0x0414|0x0414"
    "pl_PL.UTF-8|0x0415|0x0415"
    "pt_BR.UTF-8|0x0416|0x0416"
    "ru_RU.UTF-8|0x0419|0x0419"
    "sv_SE.UTF-8|0x041D|0x041D"
    "tr_TR.UTF-8|0x041F|0x041F"
    "zh_CN.UTF-8|0x0804|0x0804"
    "de_AT.UTF-8|0x0C07|0x0407"
    "fr_CA.UTF-8|0x0C0C|0x040C"
    "es_ES.UTF-8|0x0C0A|0x040A"
    # Variants whose table is another country's: Portuguese by language, Chinese by code
    # page (Hong Kong writes Big5 as Taiwan does, Singapore GBK as the PRC does).
    "pt_PT.UTF-8|0x0816|0x0416"
    "zh_HK.UTF-8|0x0C04|0x0404"
    "zh_SG.UTF-8|0x1004|0x0804"
    # A fourth field sets the thread locale: a user whose formats differ from the
    # system's, whose table LoadStringA would pick and the system's code page spoil.
    "en_US.UTF-8|0x0409|0x0409|0x0419"
    "zh_TW.UTF-8|0x0404|0x0404|0x0804"
    "ja_JP.UTF-8|0x0411|0x0411|0x0407"
    # No Thai table, and code page 874 has no Cyrillic: English.
    "th_TH.UTF-8|0x041E|0x0409|0x0419")

foreach(case ${localized_box_cases})
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 lc_all)
    list(GET fields 1 system_lang)
    list(GET fields 2 table_lang)
    set(thread_locale "")
    list(LENGTH fields field_count)
    if(field_count GREATER 3)
        list(GET fields 3 thread_locale)
    endif()
    string(REGEX REPLACE "\\..*" "" locale "${lc_all}")
    set(name "LocalizedBox.ShowsOwnLanguage.${locale}")
    if(thread_locale)
        string(APPEND name ".thread${thread_locale}")
    endif()
    add_test(NAME ${name} COMMAND ui_tests --gtest_filter=LocalizedBox.ShowsOwnLanguage)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120 ENVIRONMENT
        "QUORLEN_LC_ALL=${lc_all};QUORLEN_EXPECT_SYSTEM_LANG=${system_lang};QUORLEN_EXPECT_LANG=${table_lang};QUORLEN_THREAD_LOCALE=${thread_locale}")
endforeach()
