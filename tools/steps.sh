# One line a stage or step, as the project's scripts print them:
# "normal build ....... ok  41 s". Sourced by test.sh and tools/release.sh;
# reportwidth is where the dots end (default 22).

# report NAME RESULT SECONDS: one line.
report() {
  local dots
  dots=$(printf '%*s' $((${reportwidth:-22} - ${#1})) '' | tr ' ' .)
  printf '%s %s %s  %d s\n' "$1" "$dots" "$2" "$3"
}

# runstep NAME LOG COMMAND...: runs the command with its output in LOG and prints
# its line; on failure the end of the log follows. WHAT, when the command sets
# it, follows "ok". The command's status.
runstep() {
  local name=$1 log=$2 start=$SECONDS
  shift 2
  what=""
  if "$@" >"$log" 2>&1; then
    report "$name" "ok${what:+, $what}" $((SECONDS - start))
    return 0
  fi
  report "$name" FAIL $((SECONDS - start))
  tail -n 40 "$log"
  echo "(the whole output is in $log)"
  return 1
}
