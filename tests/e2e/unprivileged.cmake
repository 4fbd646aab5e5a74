# Quorlen.exe run by an account without rights, in a prefix and wineserver of its own:
# `ctest -L unprivileged` runs these alone. Run by bash directly, not through the emulator.
foreach(case StaleStagedFileReadOnly ReadOnlyListIsReplaced NoWriteAccessLeavesAllAsItWas
             NoConfigurationInAWindowsFolderItCannotWrite UnlistableDataFolder
             CopyNeverWiderThanTheList)
    set(name "Unprivileged.${case}")
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/unprivileged.sh ${CMAKE_SOURCE_DIR}/scripts
            ${QUORLEN_BENCH_DIR} $<TARGET_FILE:Quorlen> $<TARGET_FILE:BoxWatcher>
            ${CMAKE_SOURCE_DIR}/resources/vexo_regions.txt ${case})
    # The first run also makes the account's prefix: minutes when 32-bit Wine is
    # installed and qemu runs its part of the set-up.
    set_tests_properties(${name} PROPERTIES LABELS unprivileged TIMEOUT 600 SKIP_RETURN_CODE 77)
endforeach()
