# The size count under a double-byte system code page (932): a character of two bytes
# counts once.
add_test(NAME LoggerTest.CountsCharactersOfTheSystemCodePage.Japanese
         COMMAND log_tests --gtest_filter=LoggerTest.CountsCharactersOfTheSystemCodePage)
set_tests_properties(LoggerTest.CountsCharactersOfTheSystemCodePage.Japanese PROPERTIES
                     ENVIRONMENT "QUORLEN_LC_ALL=ja_JP.UTF-8" TIMEOUT 120)
