# Sourced first by the row scripts that share the suite's bench: the bench started, its
# environment and the suite's helpers loaded, and fail(), which marks the row failed and
# goes on. Needs: $here (scripts folder), $bench, $case_name.
"$here/bench" ensure "$bench" || { echo "FAIL: the bench did not start"; exit 1; }
source "$here/bench-env" "$bench"
source "$here/suite-lib.sh"
status=0
fail() { echo "FAIL ($case_name): $*"; status=1; }
