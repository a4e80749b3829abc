# Checks for the shell tests of the scripts, sourced by them. A test sets
# `case_name` before its checks and `out` to the output it looks at; each
# failed check prints itself with that output and is counted.
failures=0

check() {  # description, condition...
    local what=$1
    shift
    "$@" && return
    echo "FAIL [$case_name] $what"
    echo "---- output:"
    echo "$out"
    echo "----"
    failures=$((failures + 1))
}
has() { grep -qF -- "$1" <<<"$out"; }
lacks() { ! grep -qF -- "$1" <<<"$out"; }

# Ends the test: its exit code and a last line.
finish_checks() {  # what passed
    if [ $failures -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all $1 passed"
}
