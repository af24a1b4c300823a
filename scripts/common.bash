# Shared by the scripts (sourced, not run).

# Runs the command line $1 when the script ends, after those registered before it.
at_exit_commands=()
at_exit() {
  at_exit_commands+=("$1")
  trap 'for c in "${at_exit_commands[@]}"; do eval "$c"; done' EXIT
}

# Qt keeps per-user runtime files in XDG_RUNTIME_DIR and warns "QStandardPaths:
# XDG_RUNTIME_DIR not set" on every start where there is none (root over ssh or su, CI).
# When it is unset, this gives the programs started from the script a private folder
# (mode 0700, as Qt wants it), removed when the script ends.
private_runtime_dir() {
  [ -n "${XDG_RUNTIME_DIR:-}" ] && return 0
  XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kalibrix-runtime.XXXXXX")
  export XDG_RUNTIME_DIR
  at_exit 'rm -rf -- "$XDG_RUNTIME_DIR"'
}
