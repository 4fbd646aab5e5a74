# Quorlen.exe against full volumes made real (loop-mounted ext4, tmpfs): `ctest -L faults`
# runs these alone. They need root and loop devices, and are skipped without them.
quorlen_row_tests(faults.sh Faults faults 120
    CASES FullDataVolume FullDataVolumeListInUse FullDataVolumeNoRoomForOld FullTempVolume
    PROPERTIES SKIP_RETURN_CODE 77)
