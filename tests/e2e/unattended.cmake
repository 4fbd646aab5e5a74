# Quorlen.exe and RestartPrompt.exe where nobody watches (at boot too), beside a virus
# scanner, and the outcome event of each kind of run: `ctest -L unattended` runs these alone.
quorlen_row_tests(unattended.sh Unattended unattended 120
    CASES HiddenStationReplaces SecondDesktopWaits HiddenStationNoInstallation
          HiddenStationCopyImpossible StagedNameTaken ShownBoxReportsToo
          RestartPromptHiddenStation BootDesktopReplaces BootDesktopRestartPrompt
          UnpressedBoxReportsFirst ScannerHoldsTheCopy AlreadyNewList OtherRunHoldsTheLock
          StaleCopyHeldForDeletion)
