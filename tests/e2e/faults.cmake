# Quorlen.exe against full volumes made real (loop-mounted ext4, tmpfs): `ctest -L faults`
# runs these alone. They need root and loop devices, and are skipped without them.
foreach(case FullDataVolume FullDataVolumeListInUse FullTempVolume)
    set(name "Faults.${case}")
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/faults.sh ${CMAKE_SOURCE_DIR}/scripts
            ${CMAKE_BINARY_DIR}/.. ${CMAKE_SOURCE_DIR}/resources/vexo_regions.txt ${case})
    set_tests_properties(${name} PROPERTIES LABELS faults TIMEOUT 120 SKIP_RETURN_CODE 77)
endforeach()
