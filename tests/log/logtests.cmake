# The size count and the header under a double-byte system code page (932): a character
# of two bytes counts once.
add_test(NAME LoggerTest.DoubleByteCodePage
         COMMAND log_tests --gtest_filter=LoggerTest.CountsCharactersOfTheSystemCodePage:LoggerTest.HeaderFollowsItsFormatForAnyNames)
set_tests_properties(LoggerTest.DoubleByteCodePage PROPERTIES
                     ENVIRONMENT "QUORLEN_LC_ALL=ja_JP.UTF-8" TIMEOUT 120)
