# The check of a faulty release, sourced by the tests that feed a release
# check (in $check) faulty releases: each must be refused, with its message.
# A case that is not refused, or not with that message, sets status=1.
expect() {  # case, expected message, check arguments...
    local name=$1 message=$2 output
    shift 2
    output=$(bash "$check" "$@" 2>&1)
    if [ $? -eq 0 ]; then
        echo "FAIL: $name: the check passed"
        status=1
    elif ! grep -qF -- "$message" <<<"$output"; then
        echo "FAIL: $name: no \"$message\" in:"
        sed 's/^/    /' <<<"$output"
        status=1
    else
        echo "ok: $name"
    fi
}
