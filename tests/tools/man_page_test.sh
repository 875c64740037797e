#!/usr/bin/env bash
# The manual page describes every subcommand quilmarr-cli offers, and --version,
# and renders without warnings.
# Usage: man_page_test.sh PATH_TO_QUILMARR_CLI PATH_TO_MAN_PAGE
set -uo pipefail
cli=${1:?usage: man_page_test.sh QUILMARR_CLI MAN_PAGE}
page=${2:?usage: man_page_test.sh QUILMARR_CLI MAN_PAGE}

# subcommands PREFIX... : the subcommands the program lists after PREFIX --help.
subcommands() {
  "$cli" "$@" --help | awk '/^Subcommands:/ { listed = 1; next } listed && NF { print $1 }'
}

missing=0
documented() {
  # A command is an entry of its own: a tagged paragraph (.TP) whose tag, a
  # .B or .BI line, starts with it.
  if ! pattern="^[.]BI? \"?$1( |\"|$)" awk 'tagged && $0 ~ ENVIRON["pattern"] { found = 1 }
      { tagged = $0 == ".TP" } END { exit !found }' "$page"; then
    echo "not described in $page: $1"
    missing=$((missing + 1))
  fi
}

commands=$(subcommands)
[ -n "$commands" ] || { echo "no subcommands listed by $cli --help"; exit 1; }
for command in $commands; do
  nested=$(subcommands "$command")
  if [ -n "$nested" ]; then
    for sub in $nested; do documented "$command $sub"; done
  else
    documented "$command"
  fi
done
documented '\\-\\-version'

warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "groff: $warnings"; missing=$((missing + 1)); }
[ "$missing" -eq 0 ] && echo "every subcommand described: ${commands//$'\n'/ }"
[ "$missing" -eq 0 ]
