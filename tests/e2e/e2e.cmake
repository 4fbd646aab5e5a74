# The box in the system's language: the same scenario under other system languages.
# A fourth and fifth field give a user locale apart from the system's and the user
# language it must give: then LANG sets the system locale, LC_MESSAGES the user's.
foreach(case "de_AT.UTF-8;0x0C07;0x0407" "ja_JP.UTF-8;0x0411;0x0411"
             "en_US.UTF-8;0x0409;0x0409;ru_RU.UTF-8;0x0419")
    list(GET case 0 lc)
    list(GET case 1 system)
    list(GET case 2 language)
    set(name "UpdaterScenario.BoxSpeaksTheSystemLanguage/${lc}")
    set(locale_env "QUORLEN_LC_ALL=${lc}")
    list(LENGTH case field_count)
    if(field_count GREATER 4)
        list(GET case 3 user_lc)
        list(GET case 4 user)
        string(APPEND name "+user-${user_lc}")
        set(locale_env "QUORLEN_LANG=${lc};QUORLEN_LC_MESSAGES=${user_lc};QUORLEN_EXPECT_USER=${user}")
    endif()
    add_test(NAME ${name} COMMAND e2e_tests --gtest_filter=UpdaterScenario.BoxSpeaksTheSystemLanguage)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120 ENVIRONMENT
        "${locale_env};QUORLEN_EXPECT_SYSTEM=${system};QUORLEN_EXPECT_LANG=${language}")
endforeach()

# WinMain in the test process too, for the failures only a seam can make.
target_sources(e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/run/Quorlen.cpp)

# The reboot-time fallback to its end: a shell script with a prefix of its own.
add_test(NAME RebootFallback.ListInUseIsReplacedAtTheNextStart
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/reboot-fallback.sh ${CMAKE_SOURCE_DIR}/scripts
            ${CMAKE_BINARY_DIR}/.. ${CMAKE_SOURCE_DIR}/resources/vexo_regions.txt)
set_tests_properties(RebootFallback.ListInUseIsReplacedAtTheNextStart PROPERTIES TIMEOUT 180)

# The executables' version and manifest: the version API, and the version to expect.
target_link_libraries(e2e_tests PRIVATE version)
target_compile_definitions(e2e_tests PRIVATE QUORLEN_EXPECT_VERSION="${PROJECT_VERSION}")

# Signing copies of the release executables with a certificate made for the run.
add_test(NAME Release.SignedWithSha1ThenNestedSha256
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/sign-release.sh ${CMAKE_SOURCE_DIR}/scripts
            ${CMAKE_BINARY_DIR}/../win32)
set_tests_properties(Release.SignedWithSha1ThenNestedSha256 PROPERTIES TIMEOUT 120)
