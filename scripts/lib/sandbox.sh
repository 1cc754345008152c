# Sourced by the test scripts: private HOME, XDG and temporary folders, so no test touches the user's
# files, and an environment that keeps the tests on 127.0.0.1 and the windows offscreen. The folders
# go when the script exits.
sandbox="$(mktemp -d)"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home" "$sandbox/config" "$sandbox/data" "$sandbox/cache" "$sandbox/tmp"
export HOME="$sandbox/home"
export XDG_CONFIG_HOME="$sandbox/config"
export XDG_DATA_HOME="$sandbox/data"
export XDG_CACHE_HOME="$sandbox/cache"
export TMPDIR="$sandbox/tmp"
unset TALLYHAWK_HOME BROWSER
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export TZ=UTC
# Tests reach only 127.0.0.1; keep any configured proxy out of it.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy
