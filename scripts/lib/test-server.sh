# shellcheck shell=bash
# Sourced by the scripts that need the test issuing server running: starts it and waits until
# it is ready.

# start_test_server OUT ERR PROGRAM [ARGUMENTS...]: starts PROGRAM with ARGUMENTS in the
# background, standard output to OUT and standard error to ERR, and waits (at most 120 s) for the
# line "ready". Sets test_server_pid. Returns 1, with ERR shown, when the server ended or did not
# get ready in time.
start_test_server() {
  local out=$1 err=$2 waited
  shift 2
  "$@" >"$out" 2>"$err" &
  test_server_pid=$!
  for ((waited = 0; waited < 1200; waited++)); do
    grep -qx ready "$out" 2>/dev/null && return 0
    kill -0 "$test_server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the test server did not start:" >&2
  cat "$err" >&2
  return 1
}

# test_server_port OUT NAME: the port the server printed to OUT as "NAME N" (http-port,
# tls-port, client-auth-port).
test_server_port() { sed -n "s/^$2 //p" "$1"; }
