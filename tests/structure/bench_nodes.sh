# Sourced by the build tests. bench_nodes PROGRAM prints the node count of `PROGRAM bench`,
# run in $work (where the learning file and anything else the engine writes stay), after
# checking that its last line has the form testing frameworks read: `nodes N nps M`.
bench_nodes() {
  local last
  last=$(cd "$work" && "$1" bench </dev/null | tail -n 1)
  if [[ ! $last =~ ^nodes\ ([0-9]+)\ nps\ ([0-9]+)$ ]]; then
    echo "FAIL: last line of '$1 bench' is '$last', not 'nodes N nps M'" >&2
    return 1
  fi
  echo "${BASH_REMATCH[1]}"
}
