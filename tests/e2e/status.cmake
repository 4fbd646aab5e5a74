# The status script under Wine's cscript, one row per state of a PC: `ctest -L status`.
quorlen_row_tests(status.sh Status status 180
    CASES NoInstallation NoInstallationRun Superseded HeldThenRestarted NewListOtherDate
          OtherList WholeCopyNoList WholeCopyNoListWscript Server2003 NewYorkSuperseded
          TokyoOtherDay RunInHiddenStation RunWithoutZoneChecks WholeCopyNoMove
          WholeCopyMoveAfterDelete WholeCopyMoveForOtherFile OtherCopyWithMove
          Windows2000Superseded RunAgreesWithTheEvent)
# As an account without rights: the first run also makes the account's prefix.
quorlen_row_tests(status.sh Status status 600 CASES DataFolderClosedToTheAccount
    PROPERTIES SKIP_RETURN_CODE 77)

# The build refuses a list that the script could not compare exactly: one with bytes
# other than printable ASCII, CR and LF (the resource script has such bytes).
add_test(NAME Status.ListOtherThanAsciiRefused
    COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${CMAKE_SOURCE_DIR}/resources/QuorlenStatus.vbs.in
        -DPAYLOAD=${CMAKE_SOURCE_DIR}/resources/strings.rc -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/refused.vbs
        -P ${CMAKE_SOURCE_DIR}/cmake/StatusScript.cmake)
# CMake wraps the message where the path's length puts the line's end, so any blank may be
# a line break.
set(gap "[ \n]+")
set_tests_properties(Status.ListOtherThanAsciiRefused PROPERTIES LABELS status
    PASS_REGULAR_EXPRESSION
    "strings.rc: byte${gap}0x[0-9a-f][0-9a-f]${gap}at${gap}offset${gap}[0-9]+${gap}is${gap}not${gap}printable")

# The undo through the script: what the updater kept, put back; refused; nothing to undo.
quorlen_row_tests(status.sh Status status 180
    CASES UndoAfterReplace UndoNothingKept UndoListHeld UndoCopyHeld UndoBeforeRestart)
