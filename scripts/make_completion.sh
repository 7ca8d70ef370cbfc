#!/usr/bin/env bash
# Writes the bash completion of folvex from the program's own --help texts, so it offers the built
# program's commands, options and option choices: scripts/make_completion.sh path/to/folvex folvex.bash
set -euo pipefail
folvex=$1
out=$2

# The lines of a help text from the heading (such as "Options:") up to the next blank line.
block() { awk -v heading="$1" '$0 == heading { on = 1; next } on && $0 == "" { exit } on'; }
# The case items of a help text's options for the command given: the spellings of all
# ("COMMAND:) echo '-o --output ...' ;;") and the choices of those that list them
# ("COMMAND:--lang) echo 'en ja' ;;" from {en,ja}, or from {inherit->4,none->0}).
cases() {
  block Options: | awk -v command="$1" '
    /^  -/ {
      n = split($1, names, ",")
      for (i = 1; i <= n; i++) spellings = spellings " " names[i]
      # The choices stand in the type behind the names: TEXT:{en,ja} or INT:value in {none->0,...}.
      if (match($0, /^  -[^ ]+ [A-Z]+:(value in )?\{[^} ]*\}/)) {
        typed = substr($0, RSTART, RLENGTH)
        m = split(substr(typed, index(typed, "{") + 1, length(typed) - index(typed, "{") - 1), values, ",")
        list = ""
        for (j = 1; j <= m; j++) { sub(/->.*/, "", values[j]); list = list " " values[j] }
        for (i = 1; i <= n; i++) print "    " command ":" names[i] ") echo \"" substr(list, 2) "\" ;;"
      }
    }
    END { print "    " command ":) echo \"" substr(spellings, 2) "\" ;;" }'
}

commands=$("$folvex" --help | block Subcommands: | awk '{ print $1 }' | paste -sd' ')
{
  echo "# bash completion of folvex, made from its --help texts."
  echo "_folvex_words() {"
  echo "  case \$1 in"
  echo "    commands) echo \"$commands\" ;;"
  "$folvex" --help | cases folvex
  for command in $commands; do "$folvex" "$command" --help | cases "$command"; done
  echo "  esac"
  echo "}"
  cat <<FUNCTION
_folvex() {
  local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD-1]} command=folvex word words
  for word in "\${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case \$word in
      ${commands// /|}) command=\$word; break ;;
    esac
  done
  if [[ \$prev == -* ]] && words=\$(_folvex_words "\$command:\$prev") && [[ -n \$words ]]; then
    mapfile -t COMPREPLY < <(compgen -W "\$words" -- "\$cur")
  elif [[ \$cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "\$(_folvex_words "\$command:")" -- "\$cur")
  elif [[ \$command == folvex ]]; then
    mapfile -t COMPREPLY < <(compgen -W "\$(_folvex_words commands)" -- "\$cur")
  fi
}
complete -o default -F _folvex folvex
FUNCTION
} >"$out"
